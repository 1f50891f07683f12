#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for a short while
# (FUZZ_SECONDS, default 20). Skips quietly when clang is not there.
set -euo pipefail
cd "$(dirname "$0")/.."
command -v clang++ >/dev/null || { echo "fuzz: clang++ not found, skipped"; exit 0; }
build=${XJ_FUZZ_BUILD_DIR:-build/fuzz}
cmake --preset fuzz -B "$build" >/dev/null
cmake --build "$build" -j "$(nproc)"
shopt -s nullglob
for f in "$build"/fuzz/*Fuzzer; do
  corpus="$build/corpus/$(basename "$f")"
  mkdir -p "$corpus"
  echo "fuzz: $(basename "$f")"
  scripts/netjail -- "$f" -max_total_time="${FUZZ_SECONDS:-20}" -print_final_stats=0 "$corpus" 2>&1 | tail -n 3
done
