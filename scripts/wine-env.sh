# Sourced: the environment of the project's Wine prefix, made on first use.
# PURGA_BUILD names the build folder that holds the prefix.
: "${PURGA_BUILD:=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)/build/win64}"
export WINEPREFIX="${PURGA_WINEPREFIX:-$PURGA_BUILD/wineprefix}"
export WINEARCH=win64
export LANG=ja_JP.UTF-8
export LC_ALL=ja_JP.UTF-8
export WINEDEBUG=-all
# No installer prompt (Mono, Gecko) may wait for a click.
export WINEDLLOVERRIDES="mscoree=;mshtml="

purga_ensure_prefix() {
  if [ -f "$WINEPREFIX/.purga-ready" ]; then return 0; fi
  mkdir -p "$WINEPREFIX"
  # Only one process makes the prefix; the others wait for it.
  (
    flock 9
    if [ ! -f "$WINEPREFIX/.purga-ready" ]; then
      wineboot -i >/dev/null 2>&1 || true
      wineserver -w
      # The forms name "ＭＳ Ｐゴシック"; IPA P Gothic has the same metrics.
      wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v 'ＭＳ Ｐゴシック' /d 'IPAPGothic' /f >/dev/null 2>&1
      wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v 'ＭＳ ゴシック' /d 'IPAGothic' /f >/dev/null 2>&1
      wineserver -w
      touch "$WINEPREFIX/.purga-ready"
    fi
  ) 9>"$WINEPREFIX.lock"
}
