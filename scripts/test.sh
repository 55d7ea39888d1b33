#!/usr/bin/env bash
# Builds and runs every test: native (ASan+UBSan, then ThreadSanitizer), the
# bounded fuzz run, and the Windows build's tests under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh

jobs=$(nproc)
status=0
run() {  # preset
  echo "=== $1 ==="
  cmake --preset "$1" >/dev/null
  cmake --build --preset "$1" -j"$jobs"
  ctest --preset "$1" -j1 || status=1
}

run native
run native-tsan
run fuzz
export PURGA_BUILD="$PWD/build/win64"
source scripts/wine-env.sh
scripts/with-display.sh bash -c '
  source scripts/wine-env.sh
  purga_ensure_prefix
  wineserver -p 60 &
  cmake --preset win64 >/dev/null && cmake --build --preset win64 -j'"$jobs"' && ctest --preset win64 -j1
' || status=1
echo "=== win32-release (build only) ==="
cmake --preset win32-release >/dev/null
cmake --build --preset win32-release -j"$jobs" || status=1
exit $status
