#!/usr/bin/env bash
# Runs every script benchmark in VBScript (this engine), Lua 5.4 and Python 3
# side by side and prints the best of RUNS (default 3) wall-clock times and
# the ratios. On a loaded machine more runs give steadier figures.
#   [RUNS=n] bench/script/run.sh [path/to/script_bench]
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
runner="${1:-$here/../../build/bench/script/script_bench}"
lua="$(command -v lua5.4 || true)"
py="$(command -v /usr/bin/python3 || command -v python3)"
if [ ! -x "$runner" ]; then
  echo "run.sh: no engine runner at $runner (build the script_bench target, or pass its path)" >&2
  exit 2
fi
[ -n "$lua" ] || { echo "run.sh: lua5.4 is not installed (scripts/install-deps.sh)" >&2; exit 2; }

runs="${RUNS:-3}"
[[ "$runs" =~ ^[1-9][0-9]*$ ]] || { echo "run.sh: RUNS must be a positive whole number" >&2; exit 2; }

best() { # best of $runs, in seconds
  local b=""
  for ((r = 0; r < runs; r++)); do
    local s e t
    s=$(date +%s.%N)
    "$@" > /dev/null
    e=$(date +%s.%N)
    t=$(echo "$e - $s" | bc -l)
    if [ -z "$b" ] || [ "$(echo "$t < $b" | bc -l)" = 1 ]; then b=$t; fi
  done
  printf '%.3f' "$b"
}

printf '%-11s %9s %9s %9s %11s %11s\n' benchmark vbscript lua python vbs/python vbs/lua
for name in numeric strings calls dictionary sort recordset; do
  # The three programs must agree before their times mean anything.
  out_vbs=$("$runner" "$here/$name.vbs" | tr -s ' \n' ' ' | sed 's/ $//')
  out_py=$("$py" "$here/$name.py" | tr -s ' \n' ' ' | sed 's/ $//')
  t_vbs=$(best "$runner" "$here/$name.vbs")
  t_lua=$(best "$lua" "$here/$name.lua")
  t_py=$(best "$py" "$here/$name.py")
  printf '%-11s %9s %9s %9s %11.2f %11.2f   %s\n' "$name" "$t_vbs" "$t_lua" "$t_py" \
    "$(echo "$t_vbs / $t_py" | bc -l)" "$(echo "$t_vbs / $t_lua" | bc -l)" \
    "$( [ "${out_vbs,,}" = "${out_py,,}" ] && echo "same result" || echo "results differ: $out_vbs / $out_py")"
done
