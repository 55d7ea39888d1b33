#!/usr/bin/env bash
# Builds and runs every test: native (ASan+UBSan, then ThreadSanitizer), the
# bounded fuzz runs, the 64-bit Windows build's tests under Wine on a virtual
# display, the 32-bit release build, and the same Windows tests built for 32
# bits with the end-to-end test run against that release's Purgator.exe, the
# program users get. The Windows tests run once more on English Windows (code
# page 1252, 64-bit) and on Windows with the UTF-8 setting (65001, 32-bit),
# each at the same time as the Japanese pass of its build.
# Every stage runs even when an earlier one fails; the exit status is 1 when
# any failed. Where the kernel cannot run 32-bit code, or Wine's 32-bit
# support could not be installed, the 32-bit tests are reported as not run,
# which does not change the status, and the 65001 pass runs the 64-bit build.
set -uo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh || exit 1
source scripts/arch32.sh

jobs=$(nproc)
# The 32-bit tests' build has the release build's flags: with paths taken
# relative to the source folder, its objects come from the compiler cache.
export CCACHE_BASEDIR="$PWD"
failed=()
summary=()

record() {  # name status seconds
  if (($2 == 0)); then
    summary+=("$1: passed in $3 s")
  else
    failed+=("$1")
    summary+=("$1: FAILED in $3 s")
  fi
}

stage() {  # name command...
  local name=$1 start=$SECONDS
  shift
  echo "=== $name ==="
  "$@"
  record "$name" $? $((SECONDS - start))
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

# The Windows tests of a preset, and at the same time its Windows and
# end-to-end tests once more on Windows of another language, in a prefix
# whose system code page is `codepage` (see scripts/wine-env.sh): both wait
# on Wine's windows far more than they use a core. The second pass's output
# follows the first's.
wine_stages() {  # preset codepage
  local preset=$1 other="$1 on code page $2" log="build/$1-cp$2.log" start=$SECONDS
  echo "=== $preset ==="
  if ! build "$preset"; then
    record "$preset" 1 $((SECONDS - start))
    record "$other" 1 0
    return
  fi
  other_codepage_tests "$preset" "$2" >"$log" 2>&1 &
  local pid=$! other_start=$SECONDS
  run_wine_tests "$preset" 932 ''
  record "$preset" $? $((SECONDS - start))
  wait "$pid"
  local status=$?
  echo "=== $other ==="
  cat "$log"
  record "$other" "$status" $((SECONDS - other_start))
}

other_codepage_tests() {  # preset codepage
  run_wine_tests "$1" "$2" '^(wintests|e2e)$'
}

run_wine_tests() {  # preset codepage tests
  PURGA_BUILD="$PWD/build/$1" PURGA_PRESET="$1" PURGA_CODEPAGE="$2" PURGA_TESTS="$3" \
    scripts/with-display.sh bash -c '
    source scripts/wine-env.sh || exit 1
    purga_ensure_prefix || exit 1
    purga_start_server
    ctest --preset "$PURGA_PRESET" -j1 ${PURGA_TESTS:+-R "$PURGA_TESTS"}
  '
}

stage native build_and_test native
stage native-tsan build_and_test native-tsan
stage fuzz fuzz_tests
wine_stages win64 1252
stage win32-release build win32-release
no_32bit=$(purga_why_no_32bit)
if [ -z "$no_32bit" ]; then
  wine_stages win32 65001
else
  echo "=== win32 ==="
  echo "$no_32bit"
  summary+=("win32: NOT RUN: $no_32bit")
  stage "win64 on code page 65001" other_codepage_tests win64 65001
fi

for line in "${summary[@]}"; do echo "=== stage $line"; done
if ((${#failed[@]})); then
  echo "=== FAILED stages: ${failed[*]} ==="
  exit 1
fi
if [ -z "$no_32bit" ]; then
  echo "=== all stages passed ==="
else
  echo "=== every stage that ran passed; the 32-bit tests did not run ==="
fi
