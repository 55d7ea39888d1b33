#!/usr/bin/env bash
# Deletion benchmark under Wine, one command: builds purga_bench, makes three
# identical trees of 100,000 files in 1,000 folders (a tenth of them *.htm,
# the selected ones) from the Linux side, and prints files per second, the
# ratios to the bare-call floor and the memory of each run.
set -euo pipefail
cd "$(dirname "$0")/.."
export PURGA_BUILD="${PURGA_BUILD:-$PWD/build/win64}"
scripts/install-deps.sh
[ -f "$PURGA_BUILD/CMakeCache.txt" ] || cmake --preset win64 -B "$PURGA_BUILD" >/dev/null
cmake --build "$PURGA_BUILD" --target purga_bench -j"$(nproc)"
source scripts/wine-env.sh
purga_ensure_prefix
wineserver -p 60 &

root="$WINEPREFIX/drive_c/purga-bench"
rm -rf "$root"
trap 'rm -rf "$root"' EXIT
echo "making 3 x 100,000 files ..."
python3 - "$root" <<'PY'
import os, sys
root = sys.argv[1]
for tree in "ABC":
    for d in range(1000):
        folder = os.path.join(root, tree, "d%03d" % d)
        os.makedirs(folder)
        for f in range(100):
            open(os.path.join(folder, "f%02d.%s" % (f, "htm" if f < 10 else "txt")), "w").close()
PY
wine "$PURGA_BUILD/bench/purga_bench.exe" 'C:\purga-bench'
