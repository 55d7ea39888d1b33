#!/usr/bin/env bash
# Builds Purgator and starts it under Wine in the project's trial prefix
# (Japanese locale, the forms' font mapped; the prefix is made on first use,
# has only drive C: and is not the one the tests use). It is the 32-bit
# release, the program users get, where Wine can run 32-bit programs, and the
# 64-bit build otherwise. The program runs from C:\Purgator with its help
# file. With no display it runs on a virtual one, saves a screenshot of the
# launcher, says where, and ends the program again.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
source scripts/arch32.sh
if purga_wine_runs_32bit; then
  preset=win32-release
else
  preset=win64
  echo "Wine cannot start 32-bit programs here: starting the 64-bit build."
fi
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset" -j"$(nproc)" --target Purgator
program="$PWD/build/$preset/app"
# One trial prefix for both builds, so that its settings stay when the build
# changes.
export PURGA_BUILD="$PWD/build/win64"
export PURGA_WINEPREFIX="$PURGA_BUILD/wineprefix"
source scripts/wine-env.sh
echo "Preparing the Wine prefix (the first time takes a while)..."
purga_ensure_prefix
exe=$(purga_install "$program/Purgator.exe" "$program/Purga.chm")
cd "$WINEPREFIX/drive_c/Purgator"

if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
  echo "Starting $exe (from build/$preset)"
  exec wine "$exe"
fi

# No display: a virtual one, with Wine's own desktop on it so that the
# screenshot shows the windows as Windows draws them, title bars included.
echo "Starting $exe (from build/$preset) on a virtual display"
shot="$PURGA_BUILD/launcher.png"
rm -f "$shot"
export PURGA_EXE="$exe" PURGA_SHOT="$shot"
xvfb-run -a -s "-screen 0 1280x1024x24" bash -c '
  wine explorer /desktop=Purgator,1024x768 "$PURGA_EXE" 2>/dev/null &
  wine_pid=$!
  shoot() { import -window root -crop 300x180+380+50 "png:$1"; }
  previous=$(mktemp) current=$(mktemp)
  # The launcher exists (hidden) before it is shown: wait until it is mapped.
  geometry=""
  for _ in $(seq 1 300); do  # up to 60 s: the first start of a prefix is slow
    id=$(xwininfo -root -tree 2>/dev/null | sed -n "s/^ *\(0x[0-9a-f]*\) \"StartForm\".*/\1/p" | head -1)
    if [ -n "$id" ] && xwininfo -id "$id" | grep -q "IsViewable"; then
      geometry=$(xwininfo -id "$id" | sed -n "s/.*-geometry //p")
      break
    fi
    sleep 0.2
  done
  if [ -z "$geometry" ]; then
    echo "The launcher did not appear within 60 seconds." >&2
    kill "$wine_pid" 2>/dev/null
    exit 1
  fi
  # Painted: more colours than the bare desktop, and two shots in a row agree.
  for _ in $(seq 1 50); do
    shoot "$current"
    colours=$(identify -format %k "$current")
    if [ "$colours" -gt 16 ] && cmp -s "$current" "$previous"; then break; fi
    cp "$current" "$previous"
    sleep 0.2
  done
  mv "$current" "$PURGA_SHOT"
  rm -f "$previous"
  echo "The launcher (\"StartForm\", $geometry) ran on a virtual display."
  echo "Screenshot of the launcher: $PURGA_SHOT"
  # Close its windows, as the close box would (from inside the same Wine
  # desktop: taskkill sees only the windows of its own); the program then
  # ends by itself. Should it not, end it.
  in_desktop() { wine explorer /desktop=Purgator,1024x768 "$@" >/dev/null 2>&1; }
  in_desktop taskkill /im Purgator.exe
  for _ in $(seq 1 100); do
    kill -0 "$wine_pid" 2>/dev/null || break
    sleep 0.2
  done
  kill -0 "$wine_pid" 2>/dev/null && in_desktop taskkill /f /im Purgator.exe
  wait "$wine_pid" 2>/dev/null || true
'
