#!/usr/bin/env bash
# Builds the library and its host caller, then asks every query about the
# sample application in examples/app, as a host would.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

scripts/deps.sh
cmake --preset default >/dev/null
cmake --build --preset default

# The profile names the sample application by its absolute path.
profile="$root/build/default/demo/win.ini"
mkdir -p "$(dirname "$profile")"
sed "s|@APP_DIR@|$root/examples/app|" examples/win.ini.in >"$profile"

echo "Profile: $profile"
WININI="$profile" build/default/bin/vellumar-call --all
