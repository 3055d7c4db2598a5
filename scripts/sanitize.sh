#!/usr/bin/env bash
# Builds the tests of the drawing wrappers and the thumbnail strip (controls/
# and only what they link), and of the way a received picture comes in (what
# the decoders get of it, the picture wrapper's loads), with
# AddressSanitizer, LeakSanitizer and UndefinedBehaviorSanitizer in
# build-asan/, and runs them. Any report fails the run.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
build=${VELMORA_ASAN_BUILD_DIR:-$root/build-asan}
export CCACHE_DIR=${CCACHE_DIR:-$HOME/.cache/ccache}
# Paths relative to the checkout, so that two checkouts share cached objects.
export CCACHE_BASEDIR=${CCACHE_BASEDIR:-$root}
flags="-fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer"
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DVELMORA_BUILD_TESTS=ON -DVELMORA_BUILD_BENCH=OFF -DVELMORA_BUILD_FUZZ=OFF \
    -DCMAKE_C_FLAGS="$flags" -DCMAKE_CXX_FLAGS="$flags" >/dev/null
cmake --build "$build" --target controls_tests platform_picture_tests FreeImage_tests -j"${VELMORA_JOBS:-$(nproc)}"

export ASAN_OPTIONS="detect_leaks=1:strict_string_checks=1:detect_stack_use_after_return=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export QT_QPA_PLATFORM=offscreen
(cd "$build/tests/controls" && ./controls_tests --gtest_brief=1)
(cd "$build/tests/platform/picture" && ./platform_picture_tests --gtest_brief=1)
(cd "$build/tests/FreeImage" && ./FreeImage_tests --gtest_brief=1)
