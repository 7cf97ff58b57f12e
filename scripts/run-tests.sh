#!/usr/bin/env bash
# Sets everything up from a clean clone and runs the whole test suite.
# Extra arguments go to ctest (for example: -L script).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/build.sh"
build_dir=${BUILD_DIR:-$root/build}
export QT_QPA_PLATFORM=offscreen
cd "$build_dir"
ctest --output-on-failure --parallel "$(nproc)" "$@"
