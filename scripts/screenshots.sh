#!/usr/bin/env bash
# Sets everything up and builds (or, given a configured build folder, builds
# only what is out of date in it), and renders a picture of every window that has a
# sample into out/screenshots/<form name>.png, and the studio with the example
# template open into studio.png and studio-template.png, and with a document
# of every formatting kind into studio-page.png (offscreen: no display needed).
#   BUILD_DIR  build folder (default: build)
#   OUT_DIR    where the pictures go (default: out/screenshots)
# Extra arguments name the forms to render (default: every one).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build_dir=${BUILD_DIR:-$root/build}
if [ -f "$build_dir/CMakeCache.txt" ]; then
  cmake --build "$build_dir" --parallel "$(nproc)" --target qz_screenshots quorvane-studio
else
  "$root/scripts/build.sh"
fi
out_dir=${OUT_DIR:-$root/out/screenshots}
mkdir -p "$out_dir"

export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}
"$build_dir/tests/views/qz_screenshots" "$out_dir" "$@"
if [ $# -eq 0 ]; then
  studio="$build_dir/apps/studio/quorvane-studio"
  "$studio" --screenshot "$out_dir/studio.png" "$root/examples/invoice.rtf"
  "$studio" --screenshot "$out_dir/studio-template.png" --window-size 1000x1300 "$root/examples/invoice.rtf"
  "$studio" --screenshot "$out_dir/studio-page.png" --window-size 1000x2500 "$root/tests/data/studio/formats.rtf"
fi
echo "screenshots: wrote $out_dir"
