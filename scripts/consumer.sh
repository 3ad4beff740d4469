#!/usr/bin/env bash
# Installs a built tree into a throw-away prefix and builds and runs the C
# example against it twice: through the CMake package and through pkg-config.
# Usage: scripts/consumer.sh [build folder]   (default: build)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
prefix=$(mktemp -d)
work=$(mktemp -d)
trap 'rm -rf "$prefix" "$work"' EXIT
cmake --install "$build" --prefix "$prefix" >/dev/null
cmake -S examples/c -B "$work/cmake" -DCMAKE_PREFIX_PATH="$prefix" >/dev/null
cmake --build "$work/cmake" >/dev/null
"$work/cmake/flash"
libdir=$(dirname "$(find "$prefix" -name zpk.pc | head -1)")
PKG_CONFIG_PATH="$libdir" cc -std=c11 -o "$work/flash-pc" examples/c/flash.c \
  $(PKG_CONFIG_PATH="$libdir" pkg-config --cflags --libs zpk) -lm -Wl,-rpath,"$(dirname "$libdir")"
"$work/flash-pc"
echo "consumer: installed package and pkg-config both work"
