#!/usr/bin/env bash
# Builds the benchmarks in their own build folder and runs every one of them.
# Extra arguments go to each benchmark program (for example
# --benchmark_filter=md5sum).
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${VELMORA_BENCH_BUILD_DIR:-$here/build-bench}

cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DVELMORA_BUILD_BENCH=ON -DVELMORA_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" --target benchmarks -j"$(nproc)"

status=0
shopt -s nullglob
for program in "$build"/bench/bin/*; do
  [[ -f $program && -x $program ]] || continue
  echo "== $(basename "$program")"
  "$program" "$@" || status=$?
done
exit "$status"
