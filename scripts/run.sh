#!/usr/bin/env bash
# Builds Purgator and starts it under Wine in the project's prefix (Japanese
# locale, the forms' font mapped; the prefix is made on first use). With no
# display it runs on a virtual one, saves a screenshot of the launcher, says
# where, and ends the program again.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
if [ ! -f app/CMakeLists.txt ]; then
  echo "This checkout has no program entry (app/) yet: nothing to start." >&2
  exit 1
fi
cmake --preset win64 >/dev/null
cmake --build --preset win64 -j"$(nproc)" --target Purgator
export PURGA_BUILD="$PWD/build/win64"
source scripts/wine-env.sh
echo "Preparing the Wine prefix (the first time takes a while)..."
purga_ensure_prefix
exe="$PURGA_BUILD/app/Purgator.exe"

if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
  echo "Starting $exe"
  exec wine "$exe"
fi

# No display: a virtual one, with Wine's own desktop on it so that the
# screenshot shows the windows as Windows draws them, title bars included.
shot="$PURGA_BUILD/launcher.png"
rm -f "$shot"
export PURGA_EXE="$exe" PURGA_SHOT="$shot"
xvfb-run -a -s "-screen 0 1280x1024x24" bash -c '
  wine explorer /desktop=Purgator,1024x768 "$PURGA_EXE" &
  wine_pid=$!
  geometry=""
  for _ in $(seq 1 300); do  # up to 60 s: the first start of a prefix is slow
    geometry=$(xwininfo -root -tree 2>/dev/null | sed -n "s/.*\"StartForm\".* \([0-9]*x[0-9]*+[0-9]*+[0-9]*\) .*/\1/p" | head -1)
    [ -n "$geometry" ] && break
    sleep 0.2
  done
  if [ -z "$geometry" ]; then
    echo "The launcher did not appear within 60 seconds." >&2
    kill "$wine_pid" 2>/dev/null
    exit 1
  fi
  # The part of the screen around the launcher, once two shots in a row agree
  # (the window has finished painting).
  previous=$(mktemp) current=$(mktemp)
  for _ in $(seq 1 50); do
    import -window root -crop 300x180+380+50 "png:$current"
    cmp -s "$current" "$previous" && break
    cp "$current" "$previous"
    sleep 0.2
  done
  mv "$current" "$PURGA_SHOT"
  rm -f "$previous"
  echo "The launcher (\"StartForm\", $geometry) ran on a virtual display."
  echo "Screenshot of the launcher: $PURGA_SHOT"
  # Closes its windows, as the close box would: the program ends by itself.
  wine taskkill /im Purgator.exe >/dev/null 2>&1 || true
  wait "$wine_pid" 2>/dev/null || true
'
