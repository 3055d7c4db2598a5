#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
bash "$here/scripts/packages.sh"
# Benchmarks are built too, so they keep compiling, but never run here.
bash "$here/scripts/build.sh" -DVELMORA_BUILD_TESTS=ON -DVELMORA_BUILD_BENCH=ON
build=${VELMORA_BUILD_DIR:-$here/build}
cd "$build"
ctest --output-on-failure -j"${VELMORA_JOBS:-$(nproc)}" --timeout 600
