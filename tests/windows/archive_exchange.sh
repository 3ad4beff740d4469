#!/usr/bin/env bash
# Archives written by a Linux build and by a Windows build (run under Wine)
# are identical byte for byte, and each build opens the other's file and
# writes it back unchanged.
# usage: archive_exchange.sh <linux archive_exchange> <archive_exchange.exe> <wine>
set -euo pipefail
linux=$1 windows=$2 wine=$3
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
win() { "$wine" "$windows" "$@"; }
winpath() { winepath -w "$1" 2>/dev/null; }

"$linux" write "$dir/linux.def"
win write "$(winpath "$dir/windows.def")"
cmp "$dir/linux.def" "$dir/windows.def"
if grep -q $'\r' "$dir/windows.def"; then echo "CR in the Windows archive" >&2; exit 1; fi

"$linux" reopen "$dir/windows.def" "$dir/linux-from-windows.def"
win reopen "$(winpath "$dir/linux.def")" "$(winpath "$dir/windows-from-linux.def")"
cmp "$dir/linux.def" "$dir/linux-from-windows.def"
cmp "$dir/linux.def" "$dir/windows-from-linux.def"
echo "archives identical: $(wc -c <"$dir/linux.def") bytes, $(grep -c '^stream ' "$dir/linux.def") streams"
