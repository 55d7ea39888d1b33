#!/usr/bin/env bash
# CTest's emulator for the cross build: runs a Windows program in the
# project's test prefix with the Japanese locale (or PURGA_CODEPAGE's), from
# C:\Purgator.
set -u
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
exe="$1"; shift
# The prefix lives in the build folder that holds the program; a program
# outside any build folder runs in $PURGA_BUILD's (by default build/win64's).
dir="$(cd "$(dirname "$exe")" && pwd)"
while [ -n "$dir" ] && [ "$dir" != / ] && [ ! -f "$dir/CMakeCache.txt" ]; do dir="$(dirname "$dir")"; done
if [ -f "$dir/CMakeCache.txt" ]; then export PURGA_BUILD="$dir"; fi
source "$here/wine-env.sh"
purga_ensure_prefix || exit 1
purga_start_server
program=$(purga_install "$exe") || exit 1
cd "$WINEPREFIX/drive_c/Purgator" || exit 1
# Windows tests open windows: without a display they would wait forever.
exec "$here/with-display.sh" wine "$program" "$@"
