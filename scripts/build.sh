#!/usr/bin/env bash
# Installs the packages the build needs, then configures and builds the tree.
#   BUILD_DIR  build folder (default: build)
#   SANITIZE=1 build with AddressSanitizer and UndefinedBehaviorSanitizer
#   WERROR=1   treat warnings as errors
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh"

build_dir=${BUILD_DIR:-$root/build}
generator=()
if command -v ninja >/dev/null 2>&1; then generator=(-G Ninja); fi
if [ -f "$build_dir/CMakeCache.txt" ]; then generator=(); fi

cmake -S "$root" -B "$build_dir" "${generator[@]}" \
  -DQZ_SANITIZE="$([ "${SANITIZE:-0}" = 1 ] && echo ON || echo OFF)" \
  -DQZ_WERROR="$([ "${WERROR:-0}" = 1 ] && echo ON || echo OFF)" >/dev/null
cmake --build "$build_dir" --parallel "$(nproc)"
