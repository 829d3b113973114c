#!/usr/bin/env bash
# A fuzzing campaign (a tool, not part of CI): runs every libFuzzer target of the fuzz build tree
# for a number of executions or seconds, as many at a time as there are cores, each from the
# seed corpus kept in the repository (read only) plus a working corpus of its own, and prints
# executions, coverage and crashes per target. Targets are found through CTest's fuzz entries
# (qvr_fuzzer), so new ones join without a change here.
#   tools/fuzz.sh [-t SECONDS] [-n RUNS] [-j JOBS] [-o OUT_DIR] [BUILD_DIR]
# With both -t and -n a target stops at whichever limit it reaches first.
# Defaults: 60 s per target, one job per core, build/fuzz, OUT_DIR build/fuzz-campaign.
# Exit status 1 when any target crashed (the input is kept in OUT_DIR/TARGET/).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds= runs=
jobs=$(nproc)
out=$root/build/fuzz-campaign
while getopts "t:n:j:o:" option; do
  case $option in
    t) seconds=$OPTARG ;;
    n) runs=$OPTARG ;;
    j) jobs=$OPTARG ;;
    o) out=$OPTARG ;;
    *) sed -n 2,10p "$0" >&2; exit 2 ;;
  esac
done
shift $((OPTIND - 1))
budget=()
[ -z "$seconds" ] || budget+=(-max_total_time="$seconds")
[ -z "$runs" ] || budget+=(-runs="$runs")
[ ${#budget[@]} -gt 0 ] || budget=(-max_total_time=60)
build=${1:-$root/build/fuzz}
[ -f "$build/CTestTestfile.cmake" ] || { echo "fuzz.sh: no fuzz build in $build (cmake --preset fuzz && cmake --build --preset fuzz)" >&2; exit 2; }
mkdir -p "$out"

# One line per target: name, executable, then its options and seed folders from CTest (without
# its -runs and its working corpus, the first folder).
ctest --test-dir "$build" -L fuzz --show-only=json-v1 | python3 -c '
import json, sys
for test in json.load(sys.stdin)["tests"]:
    command = test["command"]
    folders = [a for a in command[1:] if not a.startswith("-")]
    options = [a for a in command[1:] if a.startswith("-") and not a.startswith("-runs=")]
    print("\t".join([test["name"].removeprefix("fuzz."), command[0]] + options + folders[1:]))
' >"$out/targets.tsv"
[ -s "$out/targets.tsv" ] || { echo "fuzz.sh: no fuzz targets in $build" >&2; exit 2; }

campaign() {  # NAME EXE OPTIONS-AND-SEEDS...
  local name=$1 exe=$2
  shift 2
  local dir=$out/$name
  mkdir -p "$dir/corpus"
  rm -f "$dir"/crash-* "$dir"/leak-* "$dir"/timeout-* "$dir"/oom-*
  local options=() seeds=() a
  for a in "$@"; do if [[ $a == -* ]]; then options+=("$a"); else seeds+=("$a"); fi; done
  # New inputs go to the first folder: the working corpus, never the repository's seeds.
  "$exe" "${budget[@]}" -print_final_stats=1 -artifact_prefix="$dir/" "${options[@]}" "$dir/corpus" "${seeds[@]}" \
    >"$dir/log" 2>&1 || true
}
export -f campaign
export out
export budget_text="${budget[*]}"
# Each line's fields become the function's arguments; -P runs one per job slot.
while IFS= read -r line; do printf '%s\0' "$line"; done <"$out/targets.tsv" |
  xargs -0 -P "$jobs" -I{} bash -c 'IFS=$'"'"'\t'"'"' read -r -a a <<<"$1"; budget=($budget_text); campaign "${a[@]}"' _ {}

printf '%-28s %12s %8s %8s %8s\n' target executions cov ft crashes
status=0
while IFS=$'\t' read -r name _; do
  log=$out/$name/log
  runs=$(grep -o 'stat::number_of_executed_units: [0-9]*' "$log" | grep -o '[0-9]*$' || echo ?)
  cov=$(grep -o 'cov: [0-9]*' "$log" | tail -1 | grep -o '[0-9]*$' || echo ?)
  ft=$(grep -o 'ft: [0-9]*' "$log" | tail -1 | grep -o '[0-9]*$' || echo ?)
  crashes=$(find "$out/$name" -maxdepth 1 \( -name 'crash-*' -o -name 'leak-*' -o -name 'timeout-*' -o -name 'oom-*' \) | wc -l)
  [ "$crashes" -eq 0 ] || status=1
  printf '%-28s %12s %8s %8s %8s\n' "$name" "${runs:-?}" "${cov:-?}" "${ft:-?}" "$crashes"
done <"$out/targets.tsv"
exit $status
