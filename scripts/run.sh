#!/usr/bin/env bash
# Installs what is missing, builds the program and starts it.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
bash "$here/scripts/packages.sh"
bash "$here/scripts/build.sh" -DVELMORA_BUILD_TESTS=OFF
build=${VELMORA_BUILD_DIR:-$here/build}
[ "$(id -u)" -ne 0 ] || export QTWEBENGINE_DISABLE_SANDBOX=1
exec "$build/app/velmora-voravev" "$@"
