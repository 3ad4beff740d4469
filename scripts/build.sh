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
cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZPK_SANITIZE="$san" -DPython3_EXECUTABLE=/usr/bin/python3 "$@" >/dev/null
cmake --build "$dir" -j "$(nproc)"
echo "$dir"
