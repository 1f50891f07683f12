#!/usr/bin/env bash
# Installs what is missing, builds the Debug build with AddressSanitizer and
# UBSan (the `dev` preset), and runs every test inside a loopback-only network
# namespace. XJ_BUILD_DIR puts the build elsewhere than build/dev.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
scripts/check-format.sh

# Compiles go through ccache when it is there, unless the caller chose a launcher.
if command -v ccache >/dev/null; then
  export CMAKE_C_COMPILER_LAUNCHER=${CMAKE_C_COMPILER_LAUNCHER:-ccache}
  export CMAKE_CXX_COMPILER_LAUNCHER=${CMAKE_CXX_COMPILER_LAUNCHER:-ccache}
fi

build=${XJ_BUILD_DIR:-build/dev}
cmake --preset dev -B "$build" >/dev/null
cmake --build "$build" -j "$(nproc)"

# The fuzz targets get a short run first, so ctest's summary stays the last word.
FUZZ_SECONDS=${FUZZ_SECONDS:-10} scripts/fuzz.sh

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=0}
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
scripts/netjail -- ctest --test-dir "$build" --output-on-failure --timeout 300 -j "$(nproc)" "$@"
