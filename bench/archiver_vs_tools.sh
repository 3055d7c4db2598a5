#!/usr/bin/env bash
# Times our archiver (archiver_tool) beside 7z -mmt=1 and zip/unzip on a
# portfolio-like set (20 large bitmaps, level 1, classic PKWARE password)
# and on 20,000 small files; prints time and size ratios.
# Usage: bench/archiver_vs_tools.sh [path/to/archiver_tool]
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
tool=${1:-}
if [[ -z $tool ]]; then
  build=${VELMORA_BENCH_BUILD_DIR:-$here/build-bench}
  cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DVELMORA_BUILD_BENCH=ON -DVELMORA_BUILD_TESTS=OFF >/dev/null
  cmake --build "$build" --target archiver_tool >/dev/null
  tool=$build/bench/bin/archiver_tool
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
pw=Qp7vLm2XkT9rB4wZc8NdF3hJs6Ay

python3 - "$work" <<'PY'
import os, random, sys
root = sys.argv[1]
random.seed(1)
os.makedirs(f"{root}/portfolio")
for i in range(20):
    w, h = 1200, 900
    px = bytearray(54 + w * h * 3)
    px[0:2] = b"BM"
    for y in range(h):
        row = 54 + y * w * 3
        for x in range(0, w * 3, 3):
            px[row + x] = (x // 3 + random.getrandbits(3)) & 255
            px[row + x + 1] = (y + random.getrandbits(2)) & 255
            px[row + x + 2] = (((x // 3) ^ y) >> 2) & 255
    open(f"{root}/portfolio/ART{i}.bmp", "wb").write(px)
for i in range(20000):
    d = f"{root}/small/dir{i % 50}"
    os.makedirs(d, exist_ok=True)
    n = 200 + random.randrange(800)
    open(f"{d}/file{i}.txt", "w").write("".join(random.choice("abcdefghijklmnop") for _ in range(n)))
PY

seconds() { local s e; s=$(date +%s.%N); "$@" >/dev/null 2>&1; e=$(date +%s.%N); awk -v a="$s" -v b="$e" 'BEGIN { printf "%.3f", b - a }'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", (b > 0 ? a / b : 0) }'; }

for set in portfolio small; do
  src=$work/$set
  if [[ $set == portfolio ]]; then pwo=("$pw"); zpw=(-P "$pw"); spw=(-p"$pw"); else pwo=(); zpw=(); spw=(); fi
  ours_c=$(seconds "$tool" create "$work/ours-$set.zip" "$src" "${pwo[@]}")
  zip_c=$(seconds bash -c "cd '$src' && zip -q -r -1 ${zpw[*]} '$work/zip-$set.zip' .")
  sz_c=$(seconds bash -c "cd '$src' && 7z a -tzip -mmt=1 -mx=1 ${spw[*]} '$work/7z-$set.zip' . ")
  ours_x=$(seconds "$tool" extract "$work/zip-$set.zip" "$work/x-ours-$set" "${pwo[@]}")
  unzip_x=$(seconds unzip -q ${zpw[*]} "$work/zip-$set.zip" -d "$work/x-unzip-$set")
  sz_x=$(seconds 7z x -mmt=1 ${spw[*]} "$work/zip-$set.zip" -o"$work/x-7z-$set")
  diff -r "$src" "$work/x-ours-$set" >/dev/null || echo "$set: our extraction differs from the source"
  ours_s=$(stat -c %s "$work/ours-$set.zip"); zip_s=$(stat -c %s "$work/zip-$set.zip"); sz_s=$(stat -c %s "$work/7z-$set.zip")
  echo "== $set"
  printf 'create  ours %6.2fs  zip %6.2fs (ratio %s)  7z %6.2fs (ratio %s)\n' "$ours_c" "$zip_c" "$(ratio "$ours_c" "$zip_c")" "$sz_c" "$(ratio "$ours_c" "$sz_c")"
  printf 'extract ours %6.2fs  unzip %6.2fs (ratio %s)  7z %6.2fs (ratio %s)\n' "$ours_x" "$unzip_x" "$(ratio "$ours_x" "$unzip_x")" "$sz_x" "$(ratio "$ours_x" "$sz_x")"
  printf 'size    ours %d  zip %d (ratio %s)  7z %d (ratio %s)\n' "$ours_s" "$zip_s" "$(ratio "$ours_s" "$zip_s")" "$sz_s" "$(ratio "$ours_s" "$sz_s")"
done
