#!/usr/bin/env bash
# Installs the build into a temporary prefix, builds a host against the
# installed tree both ways (CMake package, pkg-config), runs each and checks
# what it prints; also runs the installed vellumar-call, which must find the
# installed library.
#
#   install_test.sh BUILD_DIR SOURCE_DIR CXX_COMPILER CMAKE_GENERATOR [CXX_FLAGS]
set -euo pipefail

build=$1 source=$2 cxx=$3 generator=$4 flags=${5:-}
here=$(cd "$(dirname "$0")" && pwd)

work=$(mktemp -d "${TMPDIR:-/tmp}/vellumar-install-XXXXXX")
namespace="vellumar-install-$$"
cleanup() {
  rm -rf "$work"
  # The library registers its logger message at load, inside this namespace.
  rm -f /dev/shm/"$namespace".*
}
trap cleanup EXIT

prefix=$work/prefix
cmake --install "$build" --prefix "$prefix" >"$work/install.log"

# The library reads the application directory from this profile at load.
sed "s|@APP_DIR@|$source/examples/app|" "$source/examples/win.ini.in" >"$work/win.ini"
export WININI=$work/win.ini VELLUMAR_NAMESPACE=$namespace

expected="GetAppVersion( AppVersion ); 15-25
Pelorin Version 7.0"
failures=0
check() {  # NAME OUTPUT
  if [ "$2" = "$expected" ]; then
    echo "ok: $1"
  else
    echo "FAILED: $1 printed:"
    printf '%s\n' "$2"
    echo "expected:"
    printf '%s\n' "$expected"
    failures=$((failures + 1))
  fi
}

# 1. find_package(vellumar) and vellumar::vellumar. The built host keeps the
#    library's directory as its run path, as CMake sets it for a build tree.
cmake -S "$here/host" -B "$work/cmake-host" -G "$generator" \
  -DCMAKE_CXX_COMPILER="$cxx" -DCMAKE_CXX_FLAGS="$flags" \
  -DCMAKE_PREFIX_PATH="$prefix" >"$work/cmake-host.log" 2>&1 ||
  { cat "$work/cmake-host.log"; exit 1; }
cmake --build "$work/cmake-host" >>"$work/cmake-host.log" 2>&1 ||
  { cat "$work/cmake-host.log"; exit 1; }
check "find_package host" "$("$work/cmake-host/host" 2>&1)"

# 2. pkg-config, seeing only the installed tree's vellumar.pc.
pcdir=$(dirname "$(find "$prefix" -name vellumar.pc)")
pc() { PKG_CONFIG_LIBDIR=$pcdir pkg-config "$@" vellumar; }
# shellcheck disable=SC2046,SC2086 # the flags are words
"$cxx" -std=c++17 $flags "$here/host/host.cpp" -o "$work/pkg-config-host" \
  $(pc --cflags) $(pc --libs) -Wl,-rpath,"$(pc --variable=libdir)"
check "pkg-config host" "$("$work/pkg-config-host" 2>&1)"

# 3. The installed vellumar-call finds the installed library by itself.
answer=$("$prefix/bin/vellumar-call" GetAppVersion 2>&1) || true
if [ "$answer" = "Pelorin Version 7.0" ]; then
  echo "ok: installed vellumar-call"
else
  echo "FAILED: installed vellumar-call printed: $answer"
  failures=$((failures + 1))
fi

[ "$failures" -eq 0 ]
