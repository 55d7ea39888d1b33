#!/usr/bin/env bash
# Runs the end-to-end driver inside Wine's own desktop (so that windows have
# their Windows frames, and the screenshots show them), then turns its
# screenshots into PNG files and reports the driver's result.
#   run-e2e.sh purga_e2e.exe Purgator.exe SHOTS_DIR [gtest options...]
set -u
driver=$(realpath "$1") program=$(realpath "$2") shots=$(realpath -m "$3")
shift 3
here="$(cd "$(dirname "$0")" && pwd)"
# Without a display, the whole script runs again on a virtual one.
if [ -z "${DISPLAY:-}" ] || ! xdpyinfo >/dev/null 2>&1; then
  exec "$here/../../scripts/with-display.sh" "$0" "$driver" "$program" "$shots" "$@"
fi
# The prefix is the driver's build's: the program may come from another build
# (the release's).
PURGA_BUILD="$(cd "$(dirname "$driver")" && while [ ! -f CMakeCache.txt ] && [ "$PWD" != / ]; do cd ..; done; pwd)"
source "$here/../../scripts/wine-env.sh"
# A run on a system of another code page keeps its screenshots apart.
shots="$shots$purga_prefix_suffix"
purga_ensure_prefix || exit 1
purga_start_server

# The prefix has no drive onto the Linux files: the programs run from
# C:\Purgator (the help file beside the program), and the driver writes its
# report and screenshots into a folder there, moved out afterwards.
driver_exe=$(purga_install "$driver") || exit 1
program_exe=$(purga_install "$program" "$(dirname "$program")/Purga.chm") || exit 1
report='C:\Purgator\e2e-report'
report_dir="$WINEPREFIX/drive_c/Purgator/e2e-report"
rm -rf "$shots" "$report_dir"
mkdir -p "$shots" "$report_dir"
log="$shots/e2e.log"
status="$shots/e2e.status"

# Wine's output goes to a file: a Wine process that outlives the run must not
# hold CTest's pipe.
(cd "$WINEPREFIX/drive_c" &&
  wine explorer /desktop=PurgaE2E,1280x1024 "$driver_exe" --program="$program_exe" \
    --shots="$report" --log="$report\e2e.log" --status="$report\e2e.status" "$@" \
    </dev/null >"$shots/wine.log" 2>&1)
mv "$report_dir"/* "$shots/" 2>/dev/null
rmdir "$report_dir" 2>/dev/null

cat "$log" 2>/dev/null
for bmp in "$shots"/*.bmp; do
  [ -e "$bmp" ] || continue
  # Without metadata: the same pixels give the same file.
  convert "$bmp" -strip "${bmp%.bmp}.png" && rm -f "$bmp"
done
echo "Screenshots of the windows: $shots"
code=$(tr -dc '0-9' <"$status" 2>/dev/null)
[ "${code:-1}" = 0 ]
