#!/usr/bin/env bash
# Deletion benchmark under Wine, one command: builds purga_bench, makes seven
# identical trees of 100,000 files in 1,000 folders (a tenth of them *.htm,
# the selected ones) from the Linux side, and prints files per second, the
# ratios to the bare-call floor, the user-interface thread's CPU time and the
# memory of each run. The deletion window is shown during its runs: on a
# virtual display when there is none.
# PURGA_BUILD names the build measured: build/win64 by default,
# build/win32-release for the 32-bit release build.
set -euo pipefail
PURGA_BUILD=$(realpath -m "${PURGA_BUILD:-$(dirname "$0")/../build/win64}")
export PURGA_BUILD
cd "$(dirname "$0")/.."
scripts/install-deps.sh
preset=win64
[ "${PURGA_BUILD##*/}" = win32-release ] && preset=win32-release
[ -f "$PURGA_BUILD/CMakeCache.txt" ] || cmake --preset "$preset" -B "$PURGA_BUILD" >/dev/null
cmake --build "$PURGA_BUILD" --target purga_bench -j"$(nproc)"
source scripts/wine-env.sh
if grep -q '^CMAKE_TOOLCHAIN_FILE:.*i686' "$PURGA_BUILD/CMakeCache.txt" && ! purga_wine_runs_32bit; then
  echo "Not measured: Wine cannot start 32-bit programs here." >&2
  exit 1
fi
purga_ensure_prefix
# A server that ends a minute after the last program, as the tests' does.
purga_start_server

root="$WINEPREFIX/drive_c/purga-bench"
rm -rf "$root"
trap 'rm -rf "$root"' EXIT
# PURGA_BENCH_FOLDERS=50 makes a quick trial run.
folders="${PURGA_BENCH_FOLDERS:-1000}"
echo "making 7 trees of $folders folders x 100 files ..."
python3 - "$root" "$folders" <<'PY'
import os, sys
root, folders = sys.argv[1], int(sys.argv[2])
for tree in "ABCDEFG":
    for d in range(folders):
        folder = os.path.join(root, tree, "d%03d" % d)
        os.makedirs(folder)
        for f in range(100):
            open(os.path.join(folder, "f%02d.%s" % (f, "htm" if f < 10 else "txt")), "w").close()
PY
# Written out before the runs, so that the write-back does not compete with
# the first of them.
sync
# Run from inside the prefix, which has no drive onto the Linux files.
bench=$(purga_install "$PURGA_BUILD/bench/purga_bench.exe")
with_display="$PWD/scripts/with-display.sh"
cd "$WINEPREFIX/drive_c/Purgator"
"$with_display" wine "$bench" 'C:\purga-bench'
