#!/usr/bin/env bash
# Compiles every shared source for Windows: each .cpp and .h under library/,
# logger/, platform/ (but not platform/posix/), tools/ and tests/ (but not
# the POSIX-only tests, *_posix_test.cpp, the POSIX test support,
# tests/support/posix/, and the host that the install test builds against an
# installed tree, tests/install/host/), with the mingw-w64
# cross compiler, syntax only, and the project's warnings as errors. A header
# is compiled on its own, so it must include what it uses. A file that
# includes a POSIX header fails too, even where mingw-w64 has one of that
# name (unistd.h, sys/stat.h, fcntl.h...): the Windows build is not to rely
# on them. Reports each file that fails with the compiler's messages, and
# exits 1 when any does.
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
# The same for GoogleTest's headers, which the test sources include; as in
# the native build, they are system headers, whose own warnings are not ours.
mkdir "$work/gtest"
ln -s /usr/include/gtest "$work/gtest/gtest"
ln -s /usr/include/gmock "$work/gtest/gmock"
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
  mapfile -t -O "${#files[@]}" files < <(find tests \
    \( -path tests/support/posix -o -path tests/install/host \) -prune -o \
    -type f \( -name '*.cpp' -o -name '*.h' \) ! -name '*_posix_test.cpp' -print |
    LC_ALL=C sort)
fi
# A test source finds the test support and GoogleTest as the test program's
# build gives them; the rest see neither.
test_flags=(-I"$root/tests" -isystem "$work/gtest")

# The headers that only platform/posix/ and the POSIX-only tests include.
posix_headers='^[[:space:]]*#[[:space:]]*include[[:space:]]*<(unistd\.h|sys/[^>]*|fcntl\.h|dlfcn\.h|poll\.h|pthread\.h|signal\.h|spawn\.h)>'

failed=()
for file in "${files[@]}"; do
  file_flags=("${flags[@]}")
  case /$file in
    */tests/*) file_flags+=("${test_flags[@]}") ;;
  esac
  case $file in
    *.h) output=$(echo "#include \"$file\"" | "$cxx" "${file_flags[@]}" -x c++ - 2>&1) ;;
    *) output=$("$cxx" "${file_flags[@]}" "$file" 2>&1) ;;
  esac && status=0 || status=$?
  # Said first, before the compiler's messages are cut short.
  if posix=$(grep -nE "$posix_headers" "$file"); then
    status=1
    output="includes a POSIX header:"$'\n'"$posix${output:+$'\n'}$output"
  fi
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
