#!/usr/bin/env bash
# Times our archiver (archiver_tool) on disk beside libzip (archiver_tool
# --libzip), zip/unzip and 7z, every side reading its inputs from and
# writing its outputs to files in one work folder, run in turn; prints the
# median of the rounds and the ratios ours/peer, in two kinds of rows:
#   1 core   every side pinned to one processor (taskset), ours on one
#            worker, 7z with -mmt=1;
#   N cores  nothing pinned, ours on N workers, 7z with -mmt=N, N = nproc;
#            the peers that still run on one thread are marked "[1 thread]":
#            zip, unzip, libzip, and 7z extracting ZIP (-mmt=N or not).
# Each side's wall time is printed beside the CPU time (user + system) of
# all its processes, so that a side that is quick only because it spreads
# over many cores shows what it costs.
# Every create is timed up to its archive being synced to disk (ours syncs
# its own; the peers' are synced by "sync FILE" within the timing). Sets:
#   portfolio  20 large bitmaps, level 1, classic PKWARE password
#   small      20,000 small files, level 1
#   aes        2,000 small files, level 1, AES-256 (ours against 7z)
# Usage: bench/archiver_vs_tools.sh [--quick] [--rounds N] [path/to/archiver_tool]
#   --quick    a tenth of the files (smaller bitmaps) and one round
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
tool= rounds=3 scale=1
while (($#)); do
  case $1 in
    --quick) scale=10 rounds=1 ;;
    --rounds) rounds=$2; shift ;;
    *) tool=$1 ;;
  esac
  shift
done
if [[ -z $tool ]]; then
  build=${VELMORA_BENCH_BUILD_DIR:-$here/build-bench}
  cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DVELMORA_BUILD_BENCH=ON -DVELMORA_BUILD_TESTS=OFF >/dev/null
  cmake --build "$build" --target archiver_tool >/dev/null
  tool=$build/bench/tools/archiver_tool
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
pw=Qp7vLm2XkT9rB4wZc8NdF3hJs6Ay

python3 - "$work" "$scale" <<'PY'
import os, random, sys
root, scale = sys.argv[1], int(sys.argv[2])
random.seed(1)
os.makedirs(f"{root}/portfolio")
for i in range(20):
    w, h = 1200 // scale, 900 // scale
    px = bytearray(54 + w * h * 3)
    px[0:2] = b"BM"
    for y in range(h):
        row = 54 + y * w * 3
        for x in range(0, w * 3, 3):
            px[row + x] = (x // 3 + random.getrandbits(3)) & 255
            px[row + x + 1] = (y + random.getrandbits(2)) & 255
            px[row + x + 2] = (((x // 3) ^ y) >> 2) & 255
    open(f"{root}/portfolio/ART{i}.bmp", "wb").write(px)
for name, count in (("small", 20000), ("aes", 2000)):
    for i in range(count // scale):
        d = f"{root}/{name}/dir{i % 50}"
        os.makedirs(d, exist_ok=True)
        n = 200 + random.randrange(800)
        open(f"{d}/file{i}.txt", "w").write("".join(random.choice("abcdefghijklmnop") for _ in range(n)))
PY

# create_<side> FOLDER ARCHIVE and extract_<side> ARCHIVE FOLDER; the
# password options of the set in hand are in pwo (ours, libzip), zpw (zip,
# unzip) and spw (7z); for the AES set aes and aes7z choose AES-256.
# pin is the command prefix of the row kind (taskset or nothing), workers
# ours' worker count and cores 7z's thread count.
create_ours() { "${pin[@]}" "$tool" --workers="$workers" "${aes[@]}" create "$2" "$1" "${pwo[@]}"; }
create_libzip() { "${pin[@]}" "$tool" --libzip "${aes[@]}" create "$2" "$1" "${pwo[@]}" && sync "$2"; }
create_zip() { (cd "$1" && "${pin[@]}" zip -q -r -1 "${zpw[@]}" "$2" .) && sync "$2"; }
create_7z() {
  (cd "$1" && "${pin[@]}" 7z a -tzip -mmt="$cores" -mx=1 "${spw[@]}" "${aes7z[@]}" "$2" .) && sync "$2"
}
extract_ours() { "${pin[@]}" "$tool" --workers="$workers" extract "$1" "$2" "${pwo[@]}"; }
extract_libzip() { "${pin[@]}" "$tool" --libzip extract "$1" "$2" "${pwo[@]}"; }
extract_unzip() { "${pin[@]}" unzip -q "${zpw[@]}" "$1" -d "$2"; }
extract_7z() { "${pin[@]}" 7z x -mmt="$cores" "${spw[@]}" "$1" -o"$2"; }

# once OUTPUT COMMAND...: removes OUTPUT, runs COMMAND and prints its
# wall-clock seconds and the CPU seconds (user + system) of every process
# it ran, as "WALL CPU". The subshell's children are all the command's
# processes, so the shell's `times` gives their CPU once they are done.
once() {
  local out=$1 s e cpu
  shift
  rm -rf "$out"
  s=$(date +%s.%N)
  cpu=$( ("$@" >/dev/null 2>&1 || exit 1; times) | awk 'NR == 2 {
      n = split($0, f, /[ms]+ */); t = 0
      for (i = 1; i + 1 <= n; i += 2) t += f[i] * 60 + f[i + 1]
      printf "%.3f", t }') || { echo "failed: $*" >&2; return 1; }
  [[ -n $cpu ]] || { echo "failed: $*" >&2; return 1; }
  e=$(date +%s.%N)
  awk -v a="$s" -v b="$e" -v c="$cpu" 'BEGIN { printf "%.3f %s", b - a, c }'
}
# median TIMES...: the median of the numbers given.
median() { printf '%s\n' "$@" | sort -g | awk '{ t[NR] = $1 } END { print t[int((NR + 1) / 2)] }'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", (b > 0 ? a / b : 0) }'; }

# one_thread SIDE OP: " [1 thread]" for a peer that runs on one thread
# whatever the machine (in the N-core rows), else nothing.
one_thread() {
  ((workers > 1)) || return 0
  case $1/$2 in
    zip/create | unzip/extract | libzip/*) echo " [1 thread]" ;;
    7z/extract) echo " [1 thread: 7z extracts ZIP on one]" ;;
  esac
}
# column SIDE OP WALL CPU [OURS-WALL OURS-CPU]: one side's figures, with the
# ratios ours/peer when ours are given.
column() {
  printf '  %s%s %6.2fs cpu %6.2fs' "$1" "$(one_thread "$1" "$2")" "$3" "$4"
  if (($# > 4)); then
    printf ' (ratio %s, cpu %s)' "$(ratio "$5" "$3")" "$(ratio "$6" "$4")"
  fi
}

# compare SET INPUT-MAKER PEER... (peers named create-side/extract-side):
# every side creates from the set's folder; every side extracts the archive
# INPUT-MAKER created, and ours must give back the folder byte for byte.
# Wall and CPU are each the median of the rounds.
compare() {
  local set=$1 maker=$2 src=$work/$1 peer side line
  shift 2
  local -A cwall ccpu xwall xcpu size
  local i j t
  local makers=(ours "${@%%/*}") readers=(ours "${@##*/}")
  # The sides take turns within each round, each round starting with the
  # next side, so that a machine whose load changes meanwhile weighs on all
  # of them alike.
  for ((i = 0; i < rounds; i++)); do
    for ((j = 0; j < ${#makers[@]}; j++)); do
      side=${makers[(i + j) % ${#makers[@]}]}
      t=$(once "$work/$side-$set.zip" "create_$side" "$src" "$work/$side-$set.zip")
      cwall[$side]+="${t% *} " ccpu[$side]+="${t#* } "
    done
  done
  for side in ours "${@%%/*}"; do
    # shellcheck disable=SC2086  # the list is meant to split
    cwall[$side]=$(median ${cwall[$side]}) ccpu[$side]=$(median ${ccpu[$side]})
    size[$side]=$(stat -c %s "$work/$side-$set.zip")
  done
  # Every extraction gets a folder of its own, removed only once all have
  # run: a file system that has just deleted thousands of files makes the
  # next side to create as many pay for it.
  for ((i = 0; i < rounds; i++)); do
    for ((j = 0; j < ${#readers[@]}; j++)); do
      side=${readers[(i + j) % ${#readers[@]}]}
      t=$(once "$work/x-$side-$set-$i" "extract_$side" "$work/$maker-$set.zip" "$work/x-$side-$set-$i")
      xwall[$side]+="${t% *} " xcpu[$side]+="${t#* } "
    done
  done
  for side in ours "${@##*/}"; do
    # shellcheck disable=SC2086
    xwall[$side]=$(median ${xwall[$side]}) xcpu[$side]=$(median ${xcpu[$side]})
  done
  diff -r "$src" "$work/x-ours-$set-0" >/dev/null || echo "$set: our extraction differs from the source"
  rm -rf "$work"/x-*-"$set"-*
  echo "== $set, $rowkind ($(find "$src" -type f | wc -l) files, median of $rounds; wall, then CPU of all processes)"
  line="create $(column ours create "${cwall[ours]}" "${ccpu[ours]}")"
  for peer in "${@%%/*}"; do
    line+=$(column "$peer" create "${cwall[$peer]}" "${ccpu[$peer]}" "${cwall[ours]}" "${ccpu[ours]}")
  done
  echo "$line"
  line="extract$(column ours extract "${xwall[ours]}" "${xcpu[ours]}")"
  for peer in "${@##*/}"; do
    line+=$(column "$peer" extract "${xwall[$peer]}" "${xcpu[$peer]}" "${xwall[ours]}" "${xcpu[ours]}")
  done
  echo "$line"
  line="size    ours ${size[ours]}"
  for peer in "${@%%/*}"; do
    line+="  $peer ${size[$peer]} (ratio $(ratio "${size[ours]}" "${size[$peer]}"))"
  done
  echo "$line"
}

all_sets() {
  aes=() aes7z=() pwo=("$pw") zpw=(-P "$pw") spw=(-p"$pw")
  compare portfolio zip zip/unzip libzip/libzip 7z/7z
  pwo=() zpw=() spw=()
  compare small zip zip/unzip libzip/libzip 7z/7z
  # zip cannot write AES items: 7z's archive is everybody's input.
  aes=(--aes256) aes7z=(-mem=AES256) pwo=("$pw") spw=(-p"$pw")
  compare aes 7z 7z/7z
}

pin=(taskset -c "$(taskset -cp $$ | sed 's/.*: *//; s/[-,].*//')") workers=1 cores=1
rowkind="1 core (all sides pinned to one processor; ours on 1 worker, 7z -mmt=1)"
all_sets
n=$(nproc)
pin=() workers=$n cores=$n
rowkind="$n cores (ours on $n workers, 7z -mmt=$n; [1 thread] marks peers that use one thread whatever the machine)"
all_sets
