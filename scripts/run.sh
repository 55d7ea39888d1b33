#!/usr/bin/env bash
# Builds Purgator and starts it under Wine (Japanese locale, the project's
# prefix); with no display it runs on a virtual one and saves a screenshot.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake --preset win64 >/dev/null
cmake --build --preset win64 -j"$(nproc)" --target Purgator
export PURGA_BUILD="$PWD/build/win64"
source scripts/wine-env.sh
purga_ensure_prefix
exe="$PURGA_BUILD/app/Purgator.exe"
if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
  exec wine "$exe"
fi
shot="$PURGA_BUILD/launcher.png"
xvfb-run -a -s "-screen 0 1280x1024x24" bash -c '
  wine "'"$exe"'" &
  for i in $(seq 1 100); do
    xwininfo -root -tree 2>/dev/null | grep -q "\"StartForm\"" && break
    sleep 0.2
  done
  import -window root "'"$shot"'"
  echo "No display: Purgator ran on a virtual one; screenshot of the launcher: '"$shot"'"
  echo "Press Ctrl+C to end it."
  wait
'
