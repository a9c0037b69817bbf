#!/usr/bin/env bash
# Builds the libFuzzer targets (the fuzz preset: clang, AddressSanitizer and
# UndefinedBehaviorSanitizer), replays each seed corpus in fuzz/corpus/, then
# runs each target for a bounded time. Every target checks its results
# against a model and aborts on a mismatch; a crash, a sanitizer report or a
# mismatch fails the script. The fuzzers work on a scratch copy of each
# corpus, so the repository is never modified; an input that fails is kept in
# the scratch directory, whose path is printed.
#
# VELLUMAR_FUZZ_SECONDS: seconds each target runs after the replay (30; 0
# replays only).
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${VELLUMAR_FUZZ_SECONDS:-30}
targets=(profile_text paste_func info_queries record_write)

echo "== fuzz: configure and build"
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz

scratch=$(mktemp -d "${TMPDIR:-/tmp}/vellumar-fuzz.XXXXXX")
failed=0
for t in "${targets[@]}"; do
  bin=build/fuzz/bin/fuzz_$t
  work=$scratch/$t
  mkdir -p "$work/corpus" "$work/artifacts" "$work/tmp"
  cp fuzz/corpus/"$t"/* "$work/corpus/"
  # The targets' own temporary files go to the scratch directory too.
  common=(-artifact_prefix="$work/artifacts/" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1)

  echo "== fuzz: $t: replay $(find fuzz/corpus/"$t" -type f | wc -l) seeds"
  if ! TMPDIR=$work/tmp "$bin" "${common[@]}" -runs=0 "$work/corpus" >"$work/replay.log" 2>&1; then
    tail -n 30 "$work/replay.log"
    echo "== fuzz: $t: replay FAILED (log and input in $work)"
    failed=1
    continue
  fi
  if [ "$seconds" -gt 0 ]; then
    echo "== fuzz: $t: run ${seconds} s"
    if ! TMPDIR=$work/tmp "$bin" "${common[@]}" -max_total_time="$seconds" "$work/corpus" \
      >"$work/run.log" 2>&1; then
      tail -n 30 "$work/run.log"
      echo "== fuzz: $t: FAILED (log and input in $work)"
      failed=1
      continue
    fi
    grep -E '^stat::number_of_executed_units' "$work/run.log" | sed "s/^/   /" || true
  fi
done

if [ "$failed" -ne 0 ]; then
  echo "== fuzz: FAILED"
  exit 1
fi
rm -rf "$scratch"
echo "== fuzz: passed"
