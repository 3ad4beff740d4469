#!/usr/bin/env bash
# Windows build: cross-compiles everything with Debian's MinGW-w64 into
# build-win/ and runs it under Wine in a private, throw-away WINEPREFIX.
# Compares with a Linux build in build/ (built here when missing).
#
# Usage: scripts/windows.sh [--no-threads]
#   --no-threads  skip the 4-thread proptest run (the CI subset, docs/windows.md)
#
# Steps: install missing packages; cross-build GoogleTest from Debian's
# sources; cross-build zpk.dll, zpkx.dll, proptest.exe, battery-report.exe and
# the unit tests; run the unit tests, the DLL export check and the archive
# exchange under Wine; run proptest (1 and 4 threads) and battery-report under
# Wine and on Linux and compare their reports.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
threads=yes
for arg in "$@"; do
  case "$arg" in
    --no-threads) threads=no ;;
    *) echo "usage: scripts/windows.sh [--no-threads]" >&2; exit 2 ;;
  esac
done
jobs=$(nproc)
[ "$jobs" -gt 2 ] && jobs=2   # the machines are shared: never more than 2 jobs

section() { printf '\n== %s (%s)\n' "$1" "$(date +%T)"; }

# ---------------------------------------------------------------- packages
section "packages"
./scripts/deps.sh g++-mingw-w64-x86-64-posix mingw-w64-x86-64-dev binutils-mingw-w64-x86-64 googletest wine64 wine

launcher=()
if command -v ccache >/dev/null; then
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
fi

# ---------------------------------------------------------- Linux reference
# The programs the Windows results are compared with (an existing build/,
# as scripts/test.sh leaves it in CI, is used with its own configuration).
section "Linux build (reference programs)"
if [ ! -f build/CMakeCache.txt ]; then
  cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZPK_SANITIZE= -DPython3_EXECUTABLE=/usr/bin/python3 \
    "${launcher[@]}" >/dev/null
fi
cmake --build build -j "$jobs" --target proptest battery-report archive_exchange

# ------------------------------------------------------------ cross build
toolchain=$root/cmake/mingw-w64-x86_64.cmake
win=$root/build-win
# GoogleTest is not packaged for MinGW: build Debian's sources with the
# cross compiler, once, into build-win/gtest.
if [ ! -f "$win/gtest/lib/cmake/GTest/GTestConfig.cmake" ]; then
  section "GoogleTest for MinGW"
  cmake -S /usr/src/googletest -B "$win/googletest" -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$win/gtest" "${launcher[@]}" >/dev/null
  cmake --build "$win/googletest" -j "$jobs"
  cmake --install "$win/googletest" >/dev/null
fi

section "Windows build"
cmake -S . -B "$win" -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DZPK_BUILD_PYTHON=OFF -DZPK_BUILD_BENCHMARKS=OFF -DGTest_DIR="$win/gtest/lib/cmake/GTest" \
  -DPython3_EXECUTABLE=/usr/bin/python3 -DZPK_LINUX_BUILD_DIR="$root/build" "${launcher[@]}" >/dev/null
cmake --build "$win" -j "$jobs"
ls -l "$win"/bin/zpk.dll "$win"/bin/zpkx.dll "$win"/lib/zpk.lib "$win"/lib/zpkx.lib \
  "$win"/bin/proptest.exe "$win"/bin/battery-report.exe

# ------------------------------------------------------------------ Wine
section "Wine prefix"
WINEPREFIX=$(mktemp -d)
export WINEPREFIX WINEDEBUG=-all
unset DISPLAY WAYLAND_DISPLAY   # console programs only: no window system needed
out=$(mktemp -d)
cleanup() {
  wineserver -k 2>/dev/null || true
  rm -rf "$WINEPREFIX" "$out"
}
trap cleanup EXIT
start=$SECONDS
# A persistent server keeps the prefix's services up between the many short
# runs: without it every program start pays for their start-up again.
wineserver -p
wineboot --init >/dev/null 2>&1
echo "wineboot: $((SECONDS - start)) s"

section "unit tests under Wine"
# Each GoogleTest program runs once with all its tests (one Wine start per
# program; ctest would start one per test and list every program's tests
# first).  Then the checks of the DLLs and of the archive exchange with the
# Linux build (also registered with ctest as windows_dll_exports and
# windows_archive_exchange).
run_unit() {
  local exe=$1 log
  log="$out/$(basename "$exe" .exe).log"
  # A program that hangs under Wine (seen once, docs/windows.md) is stopped
  # after 10 minutes and run once more, and the hang is reported.
  local status=0
  timeout 600 wine "$exe" --gtest_brief=1 >"$log" 2>&1 || status=$?
  if [ "$status" -eq 124 ]; then
    echo "HUNG under Wine, stopped after 600 s and run again: $(basename "$exe")"
    status=0
    timeout 600 wine "$exe" --gtest_brief=1 >"$log" 2>&1 || status=$?
  fi
  # A crash under Wine may still end with status 0: ask for GoogleTest's verdict.
  if [ "$status" -eq 0 ] && grep -aq '^\[  PASSED  \]' "$log" &&
     ! grep -aq '^\[  FAILED  \]\|Unhandled exception' "$log"; then
    echo "passed: $(basename "$exe") ($(grep -ao '[0-9]* tests\? from [0-9]* test suites\? ran' "$log" | head -1))"
  else
    echo "FAILED: $(basename "$exe")"; grep -a -B2 -A12 'Failure\|FAILED' "$log" | head -60
    return 1
  fi
}
export -f run_unit
export out
unit_status=0
ls "$win"/bin/*_tests.exe | xargs -P "$jobs" -I{} bash -c 'run_unit {}' || unit_status=1
python3 tests/windows/dll_exports.py x86_64-w64-mingw32-objdump "$win/bin/zpk.dll" "$win/bin/zpkx.dll" \
  zpk/zpk.h zpk/zpkx.h zpk/functions.tsv zpk/zpk_binding.h || unit_status=1
bash tests/windows/archive_exchange.sh build/bin/archive_exchange "$win/bin/archive_exchange.exe" wine ||
  unit_status=1
[ "$unit_status" -eq 0 ] || { echo "unit tests failed under Wine" >&2; exit 1; }

# Runs proptest with the menu input $1 on both builds; the raw outputs go to
# $out/linux-$2 and $out/windows-$2.
run_proptest() {
  local input=$1 name=$2 status
  printf "$input" | ./build/bin/proptest >"$out/linux-$name" && status=0 || status=$?
  [ "$status" -eq 1 ] || { echo "Linux proptest exit status $status" >&2; return 1; }
  printf "$input" | wine "$win/bin/proptest.exe" >"$out/windows-$name" && status=0 || status=$?
  [ "$status" -eq 1 ] || { echo "Windows proptest exit status $status" >&2; return 1; }
}
# The run's elapsed seconds are the only bytes allowed to differ.
mask_time() { sed -E 's/total time=[0-9]+ seconds/total time=N seconds/' "$1"; }

section "proptest, 1 thread"
run_proptest '1\n1\n0\n' single
if ! cmp <(mask_time "$out/linux-single") <(mask_time "$out/windows-single"); then
  diff <(mask_time "$out/linux-single" | cat -A) <(mask_time "$out/windows-single" | cat -A) | head -40
  exit 1
fi
echo "identical bytes (elapsed seconds aside): $(wc -c <"$out/windows-single") bytes," \
  "$(grep -c $'\r$' "$out/windows-single") CR LF lines"
grep -a -A2 'Number of tests' "$out/windows-single" | tr -d '\r' | head -3

if [ "$threads" = yes ]; then
  section "proptest, 4 threads"
  run_proptest '1\n4\n0\n' threads
  # Threads finish in any order: compare each thread's progress lines and
  # summary, thread by thread.
  python3 scripts/proptest-threads.py "$out/linux-threads" "$out/windows-threads"
fi

section "battery-report"
./build/bin/battery-report >"$out/linux-report"
wine "$win/bin/battery-report.exe" | tr -d '\r' >"$out/windows-report"
strip_ms() { sed -E 's/ ms=[0-9]+//' "$1"; }
echo "Linux:   $(tail -1 "$out/linux-report")"
echo "Windows: $(tail -1 "$out/windows-report")"
diff <(strip_ms "$out/linux-report") <(strip_ms "$out/windows-report")
echo "entries identical in every step"
section "done"
