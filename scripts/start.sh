#!/usr/bin/env bash
# Starts the built program as an installed one starts: the PDF document
# component is registered first (as an installer registers it; registering
# again replaces the old entries), so Export and E-Mail find it on a fresh
# machine. Arguments go to the program.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${VELMORA_BUILD_DIR:-$here/build}
"$build/bin/regsvr" /s "$build/bin/quorvex-pdf.so"
# The web view of the preview window refuses its sandbox as root.
[ "$(id -u)" -ne 0 ] || export QTWEBENGINE_DISABLE_SANDBOX=1
exec "$build/app/velmora-voravev" "$@"
