#!/usr/bin/env bash
# Installs what is missing, builds the Debug build with AddressSanitizer and
# UBSan, and runs every test inside a loopback-only network namespace.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh

build=${XJ_BUILD_DIR:-build/dev}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DXJ_SANITIZE=ON -DXJ_BUILD_TESTS=ON >/dev/null
cmake --build "$build" -j "$(nproc)"

# The fuzz targets get a short run first, so ctest's summary stays the last word.
FUZZ_SECONDS=${FUZZ_SECONDS:-10} scripts/fuzz.sh

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=0}
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
scripts/netjail -- ctest --test-dir "$build" --output-on-failure --timeout 300 -j "$(nproc)" "$@"
