#!/usr/bin/env bash
# The README's pictures, the deletion window (at 100 % and at 150 %) and the
# file editor, as the end-to-end run shows them. The run gets a fresh prefix of its own, so that
# nothing an earlier run left on drive C: shows in the editor's tree.
#   readme-shots.sh purga_e2e.exe Purgator.exe BUILD_DIR DOCS_DIR
set -eu
driver=$1 program=$2 build=$3 docs=$4
here="$(cd "$(dirname "$0")" && pwd)"
export PURGA_WINEPREFIX="$build/wineprefix-readme"
shots="$build/readme-shots"
discard_prefix() {
  if [ -d "$PURGA_WINEPREFIX" ]; then
    WINEPREFIX="$PURGA_WINEPREFIX" wineserver -k 2>/dev/null || true
    rm -rf "$PURGA_WINEPREFIX" "$PURGA_WINEPREFIX.lock"
  fi
}
discard_prefix
trap discard_prefix EXIT
"$here/run-e2e.sh" "$driver" "$program" "$shots" --gtest_filter='DeletionRun.*:Editor.*:DisplayScale.*'
mkdir -p "$docs"
cp "$shots/deletion-window.png" "$shots/deletion-window-150.png" "$shots/editor.png" "$docs/"
echo "README pictures: $docs/deletion-window.png, $docs/deletion-window-150.png, $docs/editor.png"
