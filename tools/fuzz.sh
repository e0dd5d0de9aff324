#!/usr/bin/env bash
# Builds the fuzzers (preset fuzz: clang, libFuzzer, AddressSanitizer and UBSan), replays every
# seed corpus, then fuzzes each target.
#
#   tools/fuzz.sh                  replay, then 15 seconds per target (what CI runs)
#   tools/fuzz.sh --replay         replay only
#   tools/fuzz.sh --long           replay, then an hour per target
#   tools/fuzz.sh --time SECONDS   replay, then SECONDS per target
#   tools/fuzz.sh --runs N ...     stop a target after N executions (within its time)
#   tools/fuzz.sh ... TARGET...    only these targets (script, studio_script, picture, wdf, ...)
#
# New inputs go to build/fuzz/work/<target>/, never into the committed corpus; what a target
# finds (crash-*, timeout-*, oom-*, leak-*) goes to build/fuzz/findings/<target>/, and the script
# then fails. Keep a finding by copying it into fuzz/corpus/<target>/ once it is fixed.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=15
runs=-1
replay_only=0
targets=()
while [ $# -gt 0 ]; do
  case "$1" in
    --replay) replay_only=1 ;;
    --long) seconds=3600 ;;
    --time) seconds="$2"; shift ;;
    --runs) runs="$2"; shift ;;
    -h|--help) sed -n '2,14p' "$0"; exit 0 ;;
    -*) echo "fuzz.sh: unknown option $1" >&2; exit 2 ;;
    *) targets+=("$1") ;;
  esac
  shift
done
if [ ${#targets[@]} -eq 0 ]; then
  for source in fuzz/*_fuzzer.cpp; do
    name=$(basename "$source" .cpp)
    targets+=("${name%_fuzzer}")
  done
fi

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j "$(nproc)"
replay_filter=$(IFS='|'; echo "^fuzz_replay_(${targets[*]})\$")
ctest --preset fuzz -R "$replay_filter"
[ "$replay_only" = 1 ] && exit 0

build=build/fuzz
found=0
printf '\n%-14s %12s %10s %8s %9s\n' target executions per-second corpus findings
for target in "${targets[@]}"; do
  work="$build/work/$target"
  findings="$build/findings/$target"
  mkdir -p "$work" "$findings"
  log="$build/work/$target.log"
  started="$build/work/$target.started"
  touch "$started"  # findings of earlier runs are older than this
  # A single allocation beyond 512 MB from an input of a few kilobytes can only come from a
  # count read from the file: libFuzzer reports it as a finding.
  status=0
  "$build/fuzz/${target}_fuzzer" "$work" "fuzz/corpus/$target" -dict="fuzz/$target.dict" \
    -max_total_time="$seconds" -runs="$runs" -timeout=10 -rss_limit_mb=2048 \
    -malloc_limit_mb=512 -artifact_prefix="$findings/" -print_final_stats=1 >"$log" 2>&1 ||
    status=$?
  executions=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  speed=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -1)
  count=$(find "$findings" -type f -newer "$started" | wc -l)
  printf '%-14s %12s %10s %8s %9s\n' "$target" "${executions:-?}" "${speed:-?}" \
    "$(find "$work" -type f | wc -l)" "$count"
  if [ "$status" != 0 ] || [ "$count" != 0 ]; then
    found=1
    echo "  $target: see $log and $findings/" >&2
    grep -m 5 -E 'ERROR|check failed|SUMMARY' "$log" >&2 || true
  fi
done
exit "$found"
