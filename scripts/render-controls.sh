#!/bin/sh
# Builds the control renderer and draws its sheets (pens, brushes, hatch
# patterns, gradients, text, fills, pictures, markup, painters, the thumbnail
# strip's navigators, bars, cells, splitters and top layer) offscreen, one PNG
# each, for a person to look at.
#
#   scripts/render-controls.sh [OUTPUT_FOLDER]
#
# VELMORA_BUILD_DIR picks the build folder (default build).
set -eu
ROOT=$(cd "$(dirname "$0")/.." && pwd)
OUT=$(realpath -m "${1:-$ROOT/build/control-sheets}")
BUILD=${VELMORA_BUILD_DIR:-$ROOT/build}

cmake -S "$ROOT" -B "$BUILD" -G Ninja >/dev/null
cmake --build "$BUILD" -j"${VELMORA_JOBS:-3}" --target render-controls >/dev/null
mkdir -p "$OUT"
QT_QPA_PLATFORM=offscreen "$BUILD/bin/render-controls" "$OUT" --check
