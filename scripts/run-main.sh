#!/usr/bin/env bash
# Sets everything up from a clean clone and runs the main job: produces the
# example invoice (examples/invoice.rtf with its QZC file, reading the SQLite
# database examples/invoice.db through the template's own connection) as
# out/invoice.rtf, which opens in a word processor. Installs and builds only
# what the two programs need (scripts/run-tests.sh does the rest).
#   BUILD_DIR  build folder (default: build)
#   OUT_DIR    where the document goes (default: out)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
PROGRAMS=1 "$root/scripts/build.sh"
build_dir=${BUILD_DIR:-$root/build}
out_dir=${OUT_DIR:-$root/out}
mkdir -p "$out_dir"

"$build_dir/apps/qzstudio/qzstudio" produce "$root/examples/invoice.rtf" \
  -o "$out_dir/invoice.rtf" --connections --timeout 60000
echo "run-main: wrote $out_dir/invoice.rtf"
