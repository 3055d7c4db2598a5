#!/usr/bin/env bash
# Sends a 50 MiB and a 200 MiB attachment to the local test SMTP server with
# our client (smtp_send_tool) and uploads the same message with
# curl --upload-file; prints wall time and peak memory of each. Our peak must
# stay flat as the attachment grows: the attachment is streamed, never held.
# Usage: bench/smtp_vs_curl.sh [path/to/smtp_send_tool]
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
tool=${1:-}
if [[ -z $tool ]]; then
  build=${VELMORA_BENCH_BUILD_DIR:-$here/build-bench}
  cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DVELMORA_BUILD_BENCH=ON -DVELMORA_BUILD_TESTS=OFF >/dev/null
  cmake --build "$build" --target smtp_send_tool >/dev/null
  tool=$build/bench/tools/smtp_send_tool
fi
work=$(mktemp -d)
server_pid=
cleanup() {
  [[ -n $server_pid ]] && kill "$server_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

# The server runs until its standard input closes, which is when we exit.
mkfifo "$work/port" "$work/stdin"
exec 3<>"$work/stdin"
/usr/bin/python3 "$here/tests/support/smtp_server.py" --mode plain --out "$work/received" \
  >"$work/port" <&3 &
server_pid=$!
read -r _ port <"$work/port"

measure() { # label, command...: prints seconds and peak resident MiB
  local label=$1
  shift
  /usr/bin/time -f "%e %M" -o "$work/time" "$@" >/dev/null
  read -r secs kib <"$work/time"
  printf '  %-6s %7.2f s  %8.1f MiB peak\n' "$label" "$secs" "$(awk -v k="$kib" 'BEGIN { print k / 1024 }')"
}

for mib in 50 200; do
  head -c $((mib << 20)) /dev/urandom >"$work/attachment.bin"
  "$tool" 0 "$work/attachment.bin" --dump "$work/message.eml"
  echo "attachment $mib MiB (message $(($(stat -c %s "$work/message.eml") >> 20)) MiB):"
  measure ours "$tool" "$port" "$work/attachment.bin"
  measure curl curl -sS --url "smtp://127.0.0.1:$port" --mail-from bench@example.org \
    --mail-rcpt sink@example.org --upload-file "$work/message.eml"
  rm -f "$work"/received/*
done
