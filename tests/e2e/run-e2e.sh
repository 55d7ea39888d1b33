#!/usr/bin/env bash
# Runs the end-to-end driver inside Wine's own desktop (so that windows have
# their Windows frames, and the screenshots show them), then turns its
# screenshots into PNG files and reports the driver's result.
#   run-e2e.sh purga_e2e.exe Purgator.exe SHOTS_DIR [gtest options...]
set -u
driver=$1 program=$2 shots=$3
shift 3
here="$(cd "$(dirname "$0")" && pwd)"
# Without a display, the whole script runs again on a virtual one.
if [ -z "${DISPLAY:-}" ] || ! xdpyinfo >/dev/null 2>&1; then
  exec "$here/../../scripts/with-display.sh" "$0" "$driver" "$program" "$shots" "$@"
fi
PURGA_BUILD="$(cd "$(dirname "$program")" && while [ ! -f CMakeCache.txt ] && [ "$PWD" != / ]; do cd ..; done; pwd)"
source "$here/../../scripts/wine-env.sh"
purga_ensure_prefix || exit 1
purga_start_server

# Wine reaches the Unix file system through drive Z:.
windows_path() { local p=$1; echo "Z:${p//\//\\}"; }
rm -rf "$shots"
mkdir -p "$shots"
log="$shots/e2e.log"
status="$shots/e2e.status"

# Wine's output goes to a file: a Wine process that outlives the run must not
# hold CTest's pipe.
wine explorer /desktop=PurgaE2E,1280x1024 "$driver" --program="$(windows_path "$program")" \
  --shots="$(windows_path "$shots")" --log="$(windows_path "$log")" \
  --status="$(windows_path "$status")" "$@" </dev/null >"$shots/wine.log" 2>&1

cat "$log" 2>/dev/null
for bmp in "$shots"/*.bmp; do
  [ -e "$bmp" ] || continue
  convert "$bmp" "${bmp%.bmp}.png" && rm -f "$bmp"
done
echo "Screenshots of the windows: $shots"
code=$(tr -dc '0-9' <"$status" 2>/dev/null)
[ "${code:-1}" = 0 ]
