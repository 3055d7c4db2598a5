#!/usr/bin/env bash
# Renders every window of the program, in each of its named states, to one
# PNG per state: scripts/render-windows.sh [OUT] (default build/windows).
# Runs offscreen with a private home, settings and registry, so nothing of
# the user's is read or written. VELMORA_RENDERER names a renderer that is
# already built (the CTest does); otherwise it is built first.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${VELMORA_BUILD_DIR:-$here/build}
out=${1:-$build/windows}
renderer=${VELMORA_RENDERER:-}
if [ -z "$renderer" ]; then
  if [ ! -f "$build/build.ninja" ] && [ ! -f "$build/Makefile" ]; then
    bash "$here/scripts/build.sh" >/dev/null
  fi
  cmake --build "$build" -j"${VELMORA_JOBS:-$(nproc)}" --target velmora-render-windows >/dev/null
  renderer=$build/app/velmora-render-windows
fi
mkdir -p "$out"
out=$(cd "$out" && pwd)

home=$(mktemp -d "${TMPDIR:-/tmp}/velmora-render-XXXXXX")
trap 'rm -rf "$home"' EXIT
mkdir -p "$home/config" "$home/data" "$home/cache" "$home/registry" "$home/runtime"
chmod 700 "$home/runtime"
# The web view of the preview window refuses its sandbox as root.
[ "$(id -u)" -ne 0 ] || export QTWEBENGINE_DISABLE_SANDBOX=1
env HOME="$home" XDG_CONFIG_HOME="$home/config" XDG_DATA_HOME="$home/data" \
    XDG_CACHE_HOME="$home/cache" XDG_RUNTIME_DIR="$home/runtime" \
    VELMORA_REGISTRY_DIR="$home/registry" QT_QPA_PLATFORM=offscreen LC_ALL=C.UTF-8 \
    "$renderer" "$out"
echo "Windows rendered into $out"
