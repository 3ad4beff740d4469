#!/usr/bin/env bash
# Configures and builds one flavour: release (default), asan (ASan+UBSan) or tsan.
# Usage: scripts/build.sh [release|asan|tsan] [extra cmake args...]
set -euo pipefail
cd "$(dirname "$0")/.."
flavour=${1:-release}; shift || true
case "$flavour" in
  release) dir=build; san="" ;;
  asan) dir=build-asan; san=address ;;
  tsan) dir=build-tsan; san=thread ;;
  *) echo "unknown flavour $flavour" >&2; exit 2 ;;
esac
# ccache, where installed, makes rebuilds of unchanged sources cheap.
launcher=()
if command -v ccache >/dev/null 2>&1; then
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
fi
cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZPK_SANITIZE="$san" -DPython3_EXECUTABLE=/usr/bin/python3 \
  "${launcher[@]}" "$@" >/dev/null
cmake --build "$dir" -j "$(nproc)"
echo "$dir"
