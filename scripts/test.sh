#!/usr/bin/env bash
# Builds and runs every test: native (ASan+UBSan, then ThreadSanitizer), the
# bounded fuzz runs, the Windows build's tests under Wine on a virtual display,
# and the 32-bit release build (compiled only: this machine runs 64-bit Wine).
# Every stage runs even when an earlier one fails; the exit status is 1 when
# any failed.
set -uo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh || exit 1

jobs=$(nproc)
failed=()

stage() {  # name command...
  local name=$1
  shift
  echo "=== $name ==="
  "$@" || failed+=("$name")
}

build() {  # preset
  cmake --preset "$1" >/dev/null && cmake --build --preset "$1" -j"$jobs"
}

build_and_test() {  # preset
  build "$1" && ctest --preset "$1" -j1
}

# The bounded fuzz runs; each says how much it fuzzed, pass or fail.
fuzz_tests() {
  build fuzz || return 1
  rm -f build/fuzz/tests/fuzz/*/summary
  ctest --preset fuzz -j1
  local status=$?
  cat build/fuzz/tests/fuzz/*/summary 2>/dev/null
  return $status
}

# The Windows tests: a persistent wineserver saves a second per program.
wine_tests() {
  build win64 || return 1
  PURGA_BUILD="$PWD/build/win64" scripts/with-display.sh bash -c '
    source scripts/wine-env.sh
    purga_ensure_prefix || exit 1
    purga_start_server
    ctest --preset win64 -j1
  '
}

stage native build_and_test native
stage native-tsan build_and_test native-tsan
stage fuzz fuzz_tests
stage win64 wine_tests
stage win32-release build win32-release

if ((${#failed[@]})); then
  echo "=== FAILED stages: ${failed[*]} ==="
  exit 1
fi
echo "=== all stages passed ==="
