#!/usr/bin/env bash
# Builds and runs every test: the release build with all tests, then the
# ASan+UBSan build of the unit tests.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/deps.sh
./scripts/build.sh release
ctest --test-dir build --output-on-failure -j "$(nproc)"
./scripts/build.sh asan -DZPK_BUILD_PYTHON=OFF -DZPK_BUILD_BENCHMARKS=OFF
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --test-dir build-asan --output-on-failure -j "$(nproc)" -LE slow
