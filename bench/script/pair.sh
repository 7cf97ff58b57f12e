#!/usr/bin/env bash
# Runs the script benchmarks under two runners in turn (A B A B ...), PAIRS
# pairs each (default 9), and prints per benchmark the median wall time of
# each and the median of the pair-by-pair ratios A/B. Pairing keeps a ratio
# meaningful while the machine's speed drifts; quote the median ratio.
# A runner is the path of a script_bench build, or the word lua or python.
#   [PAIRS=n] bench/script/pair.sh A B [benchmark ...]
# e.g. bench/script/pair.sh build/bench/script/script_bench lua numeric
#      bench/script/pair.sh /tmp/new/script_bench /tmp/old/script_bench
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
usage() { echo "usage: [PAIRS=n] $0 RUNNER_A RUNNER_B [benchmark ...]" >&2; exit 2; }
[ $# -ge 2 ] || usage
pairs="${PAIRS:-9}"
[[ "$pairs" =~ ^[1-9][0-9]*$ ]] || { echo "pair.sh: PAIRS must be a positive whole number" >&2; exit 2; }

# command: prints the program and its script's suffix for a runner
command_of() {
  case "$1" in
    lua) local l; l="$(command -v lua5.4 || true)"
         [ -n "$l" ] || { echo "pair.sh: lua5.4 is not installed" >&2; exit 2; }
         echo "$l lua" ;;
    python) echo "$(command -v /usr/bin/python3 || command -v python3) py" ;;
    *) [ -x "$1" ] || { echo "pair.sh: no runner at $1" >&2; exit 2; }
       echo "$1 vbs" ;;
  esac
}
read -r prog_a ext_a <<< "$(command_of "$1")"
read -r prog_b ext_b <<< "$(command_of "$2")"
shift 2
names=("$@")
[ ${#names[@]} -gt 0 ] || names=(numeric strings calls dictionary sort recordset)

# run: wall seconds of one run of a program on a script
run() {
  local s e
  s=$(date +%s%N)
  "$1" "$2" > /dev/null
  e=$(date +%s%N)
  echo "($e - $s) / 1000000000" | bc -l
}

median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

printf '%-11s %9s %9s %9s  (%s pairs)\n' benchmark A B "A/B" "$pairs"
for name in "${names[@]}"; do
  for f in "$here/$name.$ext_a" "$here/$name.$ext_b"; do
    [ -f "$f" ] || { echo "pair.sh: no benchmark $f" >&2; exit 2; }
  done
  ta=(); tb=(); ratios=()
  for ((p = 0; p < pairs; p++)); do
    a=$(run "$prog_a" "$here/$name.$ext_a")
    b=$(run "$prog_b" "$here/$name.$ext_b")
    ta+=("$a"); tb+=("$b")
    ratios+=("$(echo "$a / $b" | bc -l)")
  done
  printf '%-11s %9.3f %9.3f %9.3f\n' "$name" \
    "$(printf '%s\n' "${ta[@]}" | median)" "$(printf '%s\n' "${tb[@]}" | median)" \
    "$(printf '%s\n' "${ratios[@]}" | median)"
done
