#!/usr/bin/env bash
# Installs what is missing, builds the program and starts it (scripts/start.sh).
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
bash "$here/scripts/packages.sh"
bash "$here/scripts/build.sh" -DVELMORA_BUILD_TESTS=OFF
exec bash "$here/scripts/start.sh" "$@"
