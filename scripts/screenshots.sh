#!/usr/bin/env bash
# Sets everything up, builds, and renders a picture of every window that has a
# sample into out/screenshots/<form name>.png, and the studio with the example
# template open into studio.png (offscreen: no display needed).
#   BUILD_DIR  build folder (default: build)
#   OUT_DIR    where the pictures go (default: out/screenshots)
# Extra arguments name the forms to render (default: every one).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/build.sh"
build_dir=${BUILD_DIR:-$root/build}
out_dir=${OUT_DIR:-$root/out/screenshots}
mkdir -p "$out_dir"

export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}
"$build_dir/tests/views/qz_screenshots" "$out_dir" "$@"
if [ $# -eq 0 ]; then
  "$build_dir/apps/studio/quorvane-studio" --screenshot "$out_dir/studio.png" "$root/examples/invoice.rtf"
fi
echo "screenshots: wrote $out_dir"
