#!/usr/bin/env bash
# Long random fuzz of the C interface under ASan+UBSan (tests/interface/fuzz.cpp).
# Usage: scripts/fuzz.sh [CALLS [SEED]]   (default 1000000 calls, seed 1)
# Builds the fuzz program in build-asan and runs it; any crash, sanitizer
# report or contract violation ends it with a nonzero status.
set -euo pipefail
cd "$(dirname "$0")/.."
calls=${1:-1000000}
seed=${2:-1}
cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZPK_SANITIZE=address \
  -DZPK_BUILD_PYTHON=OFF -DZPK_BUILD_BENCHMARKS=OFF -DPython3_EXECUTABLE=/usr/bin/python3 >/dev/null
cmake --build build-asan -j "$(nproc)" --target interface_fuzz
ASAN_OPTIONS=detect_leaks=1:halt_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  build-asan/bin/interface_fuzz "$calls" "$seed"
