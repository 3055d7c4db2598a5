#!/usr/bin/env bash
# Installs every Debian package the build, the program and the tests need.
# Idempotent: apt-get runs only when something is missing.
set -euo pipefail

PACKAGES=(
  # toolchain
  build-essential cmake ninja-build ccache pkg-config git clang libclang-rt-14-dev
  # test and benchmark frameworks
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  # Qt
  qt6-base-dev qt6-base-dev-tools qt6-webengine-dev qt6-image-formats-plugins libgl-dev libxkbcommon-dev
  # libraries
  libpugixml-dev libfreeimage-dev liblcms2-dev zlib1g-dev libdeflate-dev libjpeg-dev libssl-dev libcurl4-openssl-dev
  liblitehtml-dev libcairo2-dev libpango1.0-dev libqpdf-dev libisofs-dev libburn-dev libzip-dev
  xdg-utils fonts-dejavu-core fonts-liberation2
  # real peers and cross-checks used by the tests
  python3 python3-aiosmtpd python3-pil libtiff-tools openssl ca-certificates time curl zip unzip p7zip-full libarchive-tools qpdf poppler-utils xorriso
  # the peer of the PDF benchmark
  chromium
  # a virtual display to look at the running program, and a way to send its
  # window the close request a window manager sends
  xvfb xauth python3-xlib
)

missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q '^install ok installed$' || missing+=("$p")
done

if ((${#missing[@]})); then
  echo "Installing: ${missing[*]}"
  SUDO=""
  [ "$(id -u)" -eq 0 ] || SUDO="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
