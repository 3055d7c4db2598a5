#!/bin/sh
# Generates the HTML generator's test portfolio (both modes) and takes
# screenshots of its pages with headless Chromium, for a person to look at.
#
#   scripts/screenshot-portfolio.sh [OUTPUT_FOLDER]
#
# The folders land in OUTPUT_FOLDER/Browser and OUTPUT_FOLDER/Pdf, the
# screenshots beside them. VELMORA_BUILD_DIR picks the build folder (default
# build). Chromium is installed with apt-get when it is missing.
set -eu
ROOT=$(cd "$(dirname "$0")/.." && pwd)
OUT=$(realpath -m "${1:-$ROOT/build/portfolio-screens}")
BUILD=${VELMORA_BUILD_DIR:-$ROOT/build}

cmake -S "$ROOT" -B "$BUILD" -G Ninja >/dev/null
cmake --build "$BUILD" --target output_tests
rm -rf "$OUT"
mkdir -p "$OUT"
VELMORA_KEEP_PORTFOLIO="$OUT" "$BUILD/tests/output/output_tests" \
    --gtest_filter='BothModes/HTMLGeneratorModes.FolderLayoutAndNamesTheLinksUse/*' >/dev/null

browser=$(command -v chromium || command -v chromium-browser || true)
if [ -z "$browser" ]; then
    apt-get install -y -qq --no-install-recommends chromium >/dev/null
    browser=$(command -v chromium)
fi
for mode in Browser Pdf; do
    for page in portfolio.html Data/000.html Data/001.html Data/002.html; do
        shot="$OUT/$mode-$(echo "$page" | tr / -).png"
        "$browser" --headless --no-sandbox --disable-gpu --hide-scrollbars \
            --window-size=1024,1100 --screenshot="$shot" "file://$OUT/$mode/$page" 2>/dev/null
        echo "$shot"
    done
done
