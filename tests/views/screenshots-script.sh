#!/usr/bin/env bash
# scripts/screenshots.sh on a finished build folder: it renders the windows
# named without setting the machine up or configuring the build again.
#   screenshots-script.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
log=$(BUILD_DIR="$1" OUT_DIR="$out" "$2/scripts/screenshots.sh" frmErrors 2>&1) || { echo "$log"; exit 1; }
if [ ! -s "$out/frmErrors.png" ]; then echo "no picture: $log"; exit 1; fi
if grep -q "install-deps" <<<"$log"; then echo "set the machine up again: $log"; exit 1; fi
