#!/usr/bin/env bash
# The production benchmarks in one run: the template reader (MB/s), then the
# production of a repeating row over 1,000 / 10,000 / 100,000 records by
# qzstudio, Jinja2 and docxtemplater side by side (records/s, peak memory).
#   BUILD_DIR  the build folder (default: build); it must hold a built tree
# Arguments go to compare.py (--n 100000 --pairs 30: the median of 30 paired
# runs against each peer, peer time over ours).
# docxtemplater is installed with npm into $BUILD_DIR/bench-node when missing;
# Jinja2 is taken from the python3 in PATH (Debian: python3-jinja2).
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build_dir=${BUILD_DIR:-$root/build}
cmake --build "$build_dir" --target qz_production_bench qz_measure qzstudio >/dev/null

"$build_dir/bench/production/qz_production_bench"

node_dir="$build_dir/bench-node"
if [ ! -d "$node_dir/node_modules/docxtemplater" ] && command -v npm >/dev/null; then
  mkdir -p "$node_dir"
  (cd "$node_dir" && npm install --no-audit --no-fund docxtemplater pizzip >/dev/null)
fi
python3 "$root/bench/production/compare.py" \
  --qzstudio "$build_dir/apps/qzstudio/qzstudio" \
  --measure "$build_dir/bench/production/qz_measure" \
  --node-modules "$node_dir" "$@"
