#!/usr/bin/env bash
# Builds and runs the whole test suite twice: the normal build, then under
# AddressSanitizer and UndefinedBehaviorSanitizer. First, when the mingw-w64
# cross compiler is there, checks that every shared source compiles for
# Windows. Then runs the tests that start several threads in one process, and
# the concurrent senders, under ThreadSanitizer (ten times each, as a race
# shows only when the threads meet). Last, replays the fuzz targets' seed
# corpora and runs each target for a bounded time (scripts/fuzz.sh;
# VELLUMAR_FUZZ_SECONDS sets the time).
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/deps.sh

# VELLUMAR_CROSS_CHECK=0 skips the cross check.
cross=x86_64-w64-mingw32-g++-posix
if [ "${VELLUMAR_CROSS_CHECK:-1}" != 1 ]; then
  echo "== shared sources for Windows: skipped: VELLUMAR_CROSS_CHECK is 0"
elif ! command -v "$cross" >/dev/null; then
  echo "== shared sources for Windows: skipped: $cross is not installed"
else
  echo "== shared sources for Windows: compile each with $cross"
  scripts/check-shared-sources.sh
fi

for preset in default asan; do
  echo "== ${preset}: configure and build"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
  echo "== ${preset}: test"
  ctest --preset "$preset"
done

echo "== tsan: configure and build"
cmake --preset tsan >/dev/null
cmake --build --preset tsan
echo "== tsan: the concurrency tests"
ctest --preset tsan

scripts/fuzz.sh
