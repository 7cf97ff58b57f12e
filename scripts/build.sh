#!/usr/bin/env bash
# Installs the packages the build needs, then configures and builds the tree.
#   BUILD_DIR  build folder (default: build)
#   SANITIZE=1 build with AddressSanitizer and UndefinedBehaviorSanitizer
#   WERROR=1   treat warnings as errors
#   PROGRAMS=1 only the two programs (qzstudio, quorvane-studio), with only
#              the packages they need; a build folder that already has the
#              tests keeps them
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build_dir=${BUILD_DIR:-$root/build}
generator=()
if command -v ninja >/dev/null 2>&1; then generator=(-G Ninja); fi
if [ -f "$build_dir/CMakeCache.txt" ]; then generator=(); fi

options=(
  -DQZ_SANITIZE="$([ "${SANITIZE:-0}" = 1 ] && echo ON || echo OFF)"
  -DQZ_WERROR="$([ "${WERROR:-0}" = 1 ] && echo ON || echo OFF)"
)
targets=()
if [ "${PROGRAMS:-0}" = 1 ]; then
  "$root/scripts/install-deps.sh" main
  if [ ! -f "$build_dir/CMakeCache.txt" ]; then options+=(-DQZ_BUILD_TESTS=OFF); fi
  targets=(--target qzstudio quorvane-studio)
else
  "$root/scripts/install-deps.sh"
  options+=(-DQZ_BUILD_TESTS=ON)
fi

cmake -S "$root" -B "$build_dir" "${generator[@]}" "${options[@]}" >/dev/null
cmake --build "$build_dir" --parallel "$(nproc)" "${targets[@]}"
