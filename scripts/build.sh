#!/usr/bin/env bash
# Configures and builds into build/ (or $VELMORA_BUILD_DIR) with ccache.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${VELMORA_BUILD_DIR:-$here/build}
export CCACHE_DIR=${CCACHE_DIR:-$HOME/.cache/ccache}
# Paths relative to the checkout, so that two checkouts share cached objects.
export CCACHE_BASEDIR=${CCACHE_BASEDIR:-$here}
cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
cmake --build "$build" -j"${VELMORA_JOBS:-$(nproc)}"
