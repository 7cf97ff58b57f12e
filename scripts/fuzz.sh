#!/usr/bin/env bash
# Builds the ten libFuzzer targets with clang (AddressSanitizer and
# UndefinedBehaviorSanitizer in the code under test) and runs each one over
# its committed inputs (tests/data/fuzz/<target>) and then for a fixed
# number of new inputs, so that neither the fuzz build nor a known input can
# rot unnoticed.
#   BUILD_DIR  build folder (default: build-fuzz)
#   RUNS       new inputs per target after the committed ones (default: 2000)
#   STRICT=1   a fault found among the new inputs fails the run too
# A committed input that fails always fails the run. The new inputs are not
# the same from one run to the next (the fuzzer's choices depend on what it
# has seen and when), so by default what they find is reported, with the
# input left in $BUILD_DIR/fuzz-findings/<target>/ to be mended and added to
# the committed ones, without failing a build that changed nothing there.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
FUZZ=1 "$root/scripts/install-deps.sh"

build_dir=${BUILD_DIR:-$root/build-fuzz}
runs=${RUNS:-2000}
generator=()
if command -v ninja >/dev/null 2>&1; then generator=(-G Ninja); fi
if [ -f "$build_dir/CMakeCache.txt" ]; then generator=(); fi

# target folder, executable, dictionary (none: "")
targets=(
  "rtf_template rtf_template_fuzzer rtf.dict"
  "script script_fuzzer vbscript.dict"
  "saved_recordset saved_recordset_fuzzer persist.dict"
  "qzc_file qzc_file_fuzzer qzc.dict"
  "word_rtf word_rtf_fuzzer"
  "format_text format_text_fuzzer"
  "query query_parser_fuzzer sql.dict"
  "xlsx xlsx_fuzzer xlsx.dict"
  "access_sql access_sql_fuzzer access.dict"
  "xls xls_fuzzer xls.dict"
)
names=()
for t in "${targets[@]}"; do set -- $t; names+=("$2"); done

CC=clang CXX=clang++ cmake -S "$root" -B "$build_dir" "${generator[@]}" -DQZ_FUZZ=ON -DQZ_BUILD_BENCH=OFF >/dev/null
cmake --build "$build_dir" --parallel "$(nproc)" --target "${names[@]}"

# The readers' error logs and scratch files go to a folder of this run.
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
export XDG_DATA_HOME="$scratch/data" XDG_STATE_HOME="$scratch/state" TMPDIR="$scratch"
mkdir -p "$XDG_DATA_HOME" "$XDG_STATE_HOME"
export ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1

failed=() found=()
for t in "${targets[@]}"; do
  set -- $t
  folder=$1 exe=$2 dict=${3:-}
  findings="$build_dir/fuzz-findings/$folder"
  rm -rf "$findings"
  mkdir -p "$findings" "$scratch/new-$folder"
  common=(-timeout=10 -rss_limit_mb=2560 -artifact_prefix="$findings/")
  echo "== fuzz $folder: the committed inputs, then $runs new ones"
  # Every committed input, once each.
  if ! "$build_dir/fuzz/$folder/$exe" "${common[@]}" -runs=0 "$root/tests/data/fuzz/$folder" \
       >"$findings/replay.txt" 2>&1; then
    tail -n 40 "$findings/replay.txt"
    failed+=("$folder")
    continue
  fi
  # New inputs go to the scratch folder; the committed folder only seeds.
  args=("${common[@]}" -runs="$runs" -seed=1 -print_final_stats=1)
  if [ -n "$dict" ]; then args+=(-dict="$root/fuzz/$folder/$dict"); fi
  if ! "$build_dir/fuzz/$folder/$exe" "${args[@]}" "$scratch/new-$folder" "$root/tests/data/fuzz/$folder" \
       >"$findings/log.txt" 2>&1; then
    tail -n 40 "$findings/log.txt"
    found+=("$folder")
  else
    grep -E "^stat::(number_of_executed_units|peak_rss_mb)" "$findings/log.txt" || true
  fi
done

if [ ${#failed[@]} -gt 0 ]; then
  echo "fuzz: committed inputs fail in ${failed[*]}; see $build_dir/fuzz-findings/" >&2
  exit 1
fi
if [ ${#found[@]} -gt 0 ]; then
  echo "fuzz: new faults found by ${found[*]}; the inputs are in $build_dir/fuzz-findings/" >&2
  [ "${STRICT:-0}" = 1 ] && exit 1
  exit 0
fi
echo "fuzz: all ${#targets[@]} targets ran clean"
