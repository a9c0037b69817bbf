#!/usr/bin/env bash
# Compiles every shared source for Windows: each .cpp and .h under library/,
# logger/, platform/ (but not platform/posix/) and tools/, with the mingw-w64
# cross compiler, syntax only, and the project's warnings as errors. A header
# is compiled on its own, so it must include what it uses. Reports each file
# that fails with the compiler's messages, and exits 1 when any does.
#
#   scripts/check-shared-sources.sh [FILE...]    (default: every shared source)
#
# VELLUMAR_CROSS_CXX names another cross compiler (default:
# x86_64-w64-mingw32-g++-posix, the thread model that has std::mutex and
# std::thread).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

cxx=${VELLUMAR_CROSS_CXX:-x86_64-w64-mingw32-g++-posix}
if ! command -v "$cxx" >/dev/null; then
  echo "check-shared-sources: $cxx is not installed (Debian: g++-mingw-w64-x86-64)" >&2
  exit 2
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/vellumar-cross-XXXXXX")
trap 'rm -rf "$work"' EXIT

# The export table's C++ form, made as the build makes it.
cmake -DTABLE="$root/library/exports.txt" -DOUTPUT_DIR="$work/exports" \
  -DMODULE_NAME=vellumar.dll -P "$root/cmake/VellumarExports.cmake"
# CLI11 is header-only; the cross compiler sees its headers and nothing else
# of the native include directory.
mkdir "$work/cli11"
ln -s /usr/include/CLI "$work/cli11/CLI"
# The project's warnings, from the one place that lists them.
mapfile -t warnings < <(cmake -P "$root/cmake/VellumarWarnings.cmake" 2>&1)

flags=(-std=c++20 -fsyntax-only "${warnings[@]}"
  -I"$root" -I"$root/library/include" -I"$work/exports" -I"$work/cli11"
  # What the build defines for vellumar-call on Windows (tools/CMakeLists.txt).
  -DVELLUMAR_DEFAULT_LIBRARY='"vellumar.dll"' -DVELLUMAR_INSTALLED_LIBRARY_DIR='"."')

if [ $# -gt 0 ]; then
  files=("$@")
else
  mapfile -t files < <(find library logger platform tools -path platform/posix -prune -o \
    -type f \( -name '*.cpp' -o -name '*.h' \) -print | LC_ALL=C sort)
fi

failed=()
for file in "${files[@]}"; do
  case $file in
    *.h) output=$(echo "#include \"$file\"" | "$cxx" "${flags[@]}" -x c++ - 2>&1) ;;
    *) output=$("$cxx" "${flags[@]}" "$file" 2>&1) ;;
  esac && status=0 || status=$?
  if [ "$status" -ne 0 ] || [ -n "$output" ]; then
    failed+=("$file")
    echo "FAILED: $file"
    printf '%s\n' "$output" | head -n 40 | sed 's/^/    /'
  fi
done

echo "shared sources for Windows: ${#files[@]} checked, ${#failed[@]} failed"
if [ ${#failed[@]} -gt 0 ]; then
  printf '  %s\n' "${failed[@]}"
  exit 1
fi
