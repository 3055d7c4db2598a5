#!/usr/bin/env bash
# Builds the fuzz targets with clang in build-fuzz/ and fuzzes them from the
# corpora kept in fuzz/corpus/<target>/.
#
#   scripts/fuzz.sh [run] [seconds] [target...]
#       Fuzzes each target for the given time (default 60 s) from its kept
#       corpus, two targets at a time (VELMORA_FUZZ_JOBS). What it finds new
#       stays in build-fuzz/; inputs that crash, leak, break the memory
#       bound or time out are copied to the target's regression folder,
#       which the ordinary tests replay, and make the script fail.
#   scripts/fuzz.sh grow seconds [target...]
#       The same, then merges what adds coverage into the kept corpus and
#       minimises it (-merge=1), for committing.
#   scripts/fuzz.sh seed
#       Adds seeds to the kept corpora, then minimises them: files the
#       program itself saves (a portfolio file of each version, its
#       description, the shipped and an exported template file), archives
#       of the usual writers using the format's features
#       (fuzz/make_zip_seeds.py), and captions using every tag and
#       pictures of every format the header readers know
#       (fuzz/make_caption_seeds.py).
#
# The memory and time limits are the bounds the program promises for any
# received file (under 1 GiB, a few seconds), with room for the sanitizers'
# slowdown; breaking one is a finding like a crash. A caption is laid out
# again on every paint: one that takes a second is a finding too.
set -euo pipefail
cd "$(dirname "$0")/.."
# Paths handed to the targets are absolute: opening a portfolio changes
# the working folder.
root=$PWD

mode=run
case "${1:-}" in
run | grow | seed) mode=$1; shift ;;
esac
seconds=${1:-60}
[ $# -gt 0 ] && shift

# target  max_len  malloc_mb  rss_mb  timeout_s  regression folder
# One allocation may not pass the program's 1 GiB; the whole process gets
# ASan's quarantine (256 MB) and shadow memory on top of that, and the
# time limit twice the few seconds the program promises. A caption gets a
# second, and is kept to 2 KB so that the second holds under the
# sanitizers (every new font in a caption costs a font lookup). A picture
# may decode to the 400 MB the pixel limit allows and be turned once more
# (a copy) and read by a second decoder, so its process gets more room and
# more time than a portfolio; 128 KB holds a scan or chunk bomb.
targets_table="
zip_directory   70000   2048  2048  25  tests/zip/fuzz-regressions
portfolio_file  262144  1024  1536  10  tests/output/fuzz-regressions/portfolio_file
portfolio_xml   65536   1024  1536  10  tests/output/fuzz-regressions/portfolio_xml
template_file   131072  1024  1536  10  tests/output/fuzz-regressions/template_file
caption         2049    2048  2048  1   tests/controls/fuzz-regressions
picture         131072  1024  2048  15  tests/FreeImage/fuzz-regressions
"
all_targets=$(awk 'NF { print $1 }' <<<"$targets_table")
targets=${*:-$all_targets}
for t in $targets; do
    grep -qw "^$t" <<<"$targets_table" || { echo "unknown fuzz target: $t" >&2; exit 2; }
done

build=$root/build-fuzz
# Paths relative to the checkout, so that two checkouts share cached objects.
export CCACHE_BASEDIR=${CCACHE_BASEDIR:-$root}
flags="-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined"
CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DVELMORA_BUILD_FUZZ=ON -DVELMORA_BUILD_TESTS=OFF \
    -DCMAKE_C_FLAGS="$flags" -DCMAKE_CXX_FLAGS="$flags" >/dev/null
binaries=$(for t in $targets; do printf '%s_fuzz ' "$t"; done)
[ "$mode" = seed ] && binaries="$binaries fuzz_seeds"
# shellcheck disable=SC2086
cmake --build "$build" --target $binaries -j"${VELMORA_JOBS:-$(nproc)}"

field() { awk -v t="$1" -v n="$2" '$1 == t { print $n }' <<<"$targets_table"; }

# Runs the fuzzer binary of a target with its limits and the given arguments.
fuzzer() {
    local t=$1
    shift
    local dict=()
    [ -f "$root/fuzz/dict/$t.dict" ] && dict=(-dict="$root/fuzz/dict/$t.dict")
    "$build/fuzz/${t}_fuzz" -max_len="$(field "$t" 2)" -malloc_limit_mb="$(field "$t" 3)" \
        -rss_limit_mb="$(field "$t" 4)" -timeout="$(field "$t" 5)" "${dict[@]}" "$@"
}

# Replaces the kept corpus with a minimal set that covers the edges of it
# and the given extra folders together. Edges, not hit counts: a set that
# kept every hit count would keep most inputs, and replaying it would take
# most of the minute the CI fuzzes for; fuzzing finds the counts again
# from there within seconds.
merge_into_kept() {
    local t=$1
    shift
    local kept=$root/fuzz/corpus/$t merged=$build/merged/$t
    rm -rf "$merged" && mkdir -p "$merged" "$kept"
    mkdir -p "$build/artifacts/$t"
    fuzzer "$t" -merge=1 -use_counters=0 -artifact_prefix="$build/artifacts/$t/" "$merged" "$kept" "$@" 2>&1 | grep -E 'MERGE-OUTER: [0-9]+ new files' || true
    rm -f "$kept"/* && cp "$merged"/* "$kept"/
}

if [ "$mode" = seed ]; then
    seeds=$build/seeds
    rm -rf "$seeds"
    "$build/fuzz/fuzz_seeds" "$seeds"
    cp data/templates.vtp "$seeds/template_file/shipped.vtp"
    # The directory target also gets a portfolio file as the program's own
    # archiver writes it.
    portfolio=$(mktemp)
    trap 'rm -f "$portfolio"' EXIT
    tail -c +2 "$seeds/portfolio_file/saved-v2.pfo" >"$portfolio"
    /usr/bin/python3 fuzz/make_zip_seeds.py "$seeds/zip_directory" "$portfolio"
    /usr/bin/python3 fuzz/make_caption_seeds.py "$seeds/caption"
    /usr/bin/python3 fuzz/make_picture_seeds.py "$seeds/picture"
    for t in $targets; do
        merge_into_kept "$t" "$seeds/$t"
        echo "$t: $(ls "$root/fuzz/corpus/$t" | wc -l) inputs kept"
    done
    exit 0
fi

# One target: fuzz from the kept corpus into a scratch folder, keep what
# failed as a regression file. Writes its summary to $build/logs/<t>.log.
fuzz_one() {
    local t=$1
    local scratch=$build/corpus/$t artifacts=$build/artifacts/$t regressions
    regressions=$root/$(field "$t" 6)
    mkdir -p "$scratch" "$artifacts" "$regressions" "$root/fuzz/corpus/$t" "$build/logs"
    rm -f "$artifacts"/*
    local status=0 started=$SECONDS
    fuzzer "$t" -max_total_time="$seconds" -print_final_stats=1 -artifact_prefix="$artifacts/" \
        "$scratch" "$root/fuzz/corpus/$t" >"$build/logs/$t.log" 2>&1 || status=$?
    for found in "$artifacts"/crash-* "$artifacts"/leak-* "$artifacts"/oom-* "$artifacts"/timeout-*; do
        [ -e "$found" ] || continue
        cp "$found" "$regressions/"
        echo "$t: kept $(basename "$found") in $(field "$t" 6)/" >>"$build/logs/$t.log"
        status=1
    done
    echo "ran $((SECONDS - started))s, exit $status" >>"$build/logs/$t.log"
    return $status
}

jobs=${VELMORA_FUZZ_JOBS:-2}
failed=0
running=0
for t in $targets; do
    fuzz_one "$t" &
    running=$((running + 1))
    if [ "$running" -ge "$jobs" ]; then
        wait -n || failed=1
        running=$((running - 1))
    fi
done
while [ "$running" -gt 0 ]; do
    wait -n || failed=1
    running=$((running - 1))
done

for t in $targets; do
    log=$build/logs/$t.log
    cov=$(grep -oE 'cov: [0-9]+ ft: [0-9]+' "$log" | tail -n 1 || true)
    runs=$(grep -oE 'stat::number_of_executed_units: [0-9]+' "$log" | grep -oE '[0-9]+$' || echo '?')
    echo "$t: $runs runs, ${cov:-no coverage line}, $(tail -n 1 "$log")"
    grep -E '^(==[0-9]+==ERROR|SUMMARY|.*: kept )' "$log" || true
done

if [ "$mode" = grow ]; then
    for t in $targets; do
        merge_into_kept "$t" "$build/corpus/$t"
        echo "$t: $(ls "$root/fuzz/corpus/$t" | wc -l) inputs kept"
    done
fi
exit $failed
