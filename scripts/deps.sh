#!/usr/bin/env bash
# Installs what the build and the tests need on a Debian machine, if missing.
# As root it runs apt-get; otherwise it prints the exact command to run.
set -euo pipefail

# pkg-config: the install test builds a host through vellumar.pc.
# g++-mingw-w64-x86-64: the cross compiler that checks the shared sources
# build for Windows (scripts/check-shared-sources.sh).
# clang and libclang-rt-14-dev: the fuzz targets (scripts/fuzz.sh); the
# latter holds libFuzzer and clang's sanitizer runtimes.
packages=(cmake make g++ libgtest-dev libgmock-dev libbenchmark-dev libcli11-dev util-linux
  binutils locales clang-format pkg-config g++-mingw-w64-x86-64 clang libclang-rt-14-dev)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -eq 0 ]; then
  echo "Installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
else
  echo "Missing packages: ${missing[*]}" >&2
  echo "Run: sudo apt-get update && sudo apt-get install -y ${missing[*]}" >&2
  exit 1
fi
