#!/usr/bin/env bash
# CTest's emulator for the cross build: runs a Windows program in the
# project's Wine prefix with the Japanese locale.
set -u
exe="$1"; shift
# The prefix lives in the build folder that holds the program.
PURGA_BUILD="$(cd "$(dirname "$exe")" && while [ ! -f CMakeCache.txt ] && [ "$PWD" != / ]; do cd ..; done; pwd)"
source "$(dirname "${BASH_SOURCE[0]}")/wine-env.sh"
purga_ensure_prefix || exit 1
purga_start_server
exec wine "$exe" "$@"
