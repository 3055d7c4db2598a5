#!/bin/sh
# Builds the fuzz targets with clang in build-fuzz/ and runs the directory
# reader's target for a bounded time (seconds, default 60). Inputs that crash
# it are copied to tests/zip/fuzz-regressions/, which the zip tests replay.
#   scripts/fuzz.sh [seconds]
set -eu
cd "$(dirname "$0")/.."
seconds=${1:-60}
build=build-fuzz
flags="-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined"
CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DVELMORA_BUILD_FUZZ=ON -DVELMORA_BUILD_TESTS=OFF \
    -DCMAKE_C_FLAGS="$flags" -DCMAKE_CXX_FLAGS="$flags" >/dev/null
cmake --build "$build" --target zip_directory_fuzz -j"$(nproc)"

corpus="$build/corpus/zip_directory"
artifacts="$build/artifacts/zip_directory"
regressions=tests/zip/fuzz-regressions
mkdir -p "$corpus" "$artifacts" "$regressions"
# Seeds: small archives from the usual writers, behind a switch byte of 0.
if [ -z "$(ls -A "$corpus")" ]; then
    seeds=$(mktemp -d)
    trap 'rm -rf "$seeds"' EXIT
    printf 'hello\n' > "$seeds/a.txt"
    mkdir "$seeds/d" && printf 'x%.0s' $(seq 1 200) > "$seeds/d/b.txt"
    (cd "$seeds" && zip -q -r s1.zip a.txt d && echo comment | zip -q -z s1.zip && 7z a -tzip -bd s2.zip a.txt >/dev/null)
    /usr/bin/python3 -c "
import zipfile
with zipfile.ZipFile('$seeds/s3.zip','w') as z:
    with z.open('a',mode='w',force_zip64=True) as f: f.write(b'abc')
"
    for s in "$seeds"/s*.zip; do
        { printf '\000'; cat "$s"; } > "$corpus/$(basename "$s")"
        { printf '\001'; cat "$s"; } > "$corpus/tolerant-$(basename "$s")"
    done
    cp "$regressions"/* "$corpus"/ 2>/dev/null || true
fi

rm -f "$artifacts"/*
status=0
"$build/fuzz/zip_directory_fuzz" -max_total_time="$seconds" -max_len=70000 -rss_limit_mb=2048 \
    -artifact_prefix="$artifacts/" "$corpus" || status=$?
for crash in "$artifacts"/crash-* "$artifacts"/leak-* "$artifacts"/oom-* "$artifacts"/timeout-*; do
    [ -e "$crash" ] || continue
    cp "$crash" "$regressions/"
    echo "kept $(basename "$crash") in $regressions/"
done
exit $status
