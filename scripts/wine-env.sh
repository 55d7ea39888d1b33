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
  if [ -f "$WINEPREFIX/.purga-ready" ]; then purga_link_wine_fonts; return 0; fi
  mkdir -p "$WINEPREFIX"
  # Only one process makes the prefix; the others wait for it. The marker is
  # written only when every step worked, so a failed attempt is retried.
  (
    flock 9
    if [ ! -f "$WINEPREFIX/.purga-ready" ]; then
      wineboot -i >/dev/null 2>&1
      wineserver -w
      [ -f "$WINEPREFIX/system.reg" ] || { echo "wine-env: wineboot made no prefix in $WINEPREFIX" >&2; exit 1; }
      # The forms name "ＭＳ Ｐゴシック"; IPA P Gothic has the same metrics.
      wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v 'ＭＳ Ｐゴシック' /d 'IPAPGothic' /f >/dev/null 2>&1 &&
        wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v 'ＭＳ ゴシック' /d 'IPAGothic' /f >/dev/null 2>&1 ||
        { echo "wine-env: could not map the fonts in $WINEPREFIX" >&2; exit 1; }
      wineserver -w
      purga_link_wine_fonts
      touch "$WINEPREFIX/.purga-ready"
    fi
  ) 9>"$WINEPREFIX.lock"
}

# Debian's Wine looks for its own fonts (fonts-wine) under a path that does
# not resolve, and finds them only in the prefix's Fonts folder. Marlett
# draws the title bars' buttons: without it they show the letter "r".
purga_link_wine_fonts() {
  local fonts="$WINEPREFIX/drive_c/windows/Fonts" font=/usr/share/wine/fonts/marlett.ttf
  if [ -d "$fonts" ] && [ -f "$font" ] && [ ! -e "$fonts/marlett.ttf" ]; then
    ln -s "$font" "$fonts/marlett.ttf"
  fi
  return 0
}

# Keeps the prefix's server up for a minute after its last program, which
# saves every later program a second of start-up. When this call starts the
# server, a first program brings up Wine's services with no inherited
# descriptors: the services live as long as the server, and a pipe they
# inherited (CTest's capture of a test's output, say) would stay open, and
# its reader waiting, until the server ends.
purga_start_server() {
  wineserver -p60 </dev/null >/dev/null 2>&1 || return 0  # one is running
  (
    for fd in /proc/self/fd/*; do
      fd=${fd##*/}
      ((fd > 2)) && eval "exec $fd>&-"
    done
    exec wine cmd.exe /c exit
  ) </dev/null >/dev/null 2>&1
  return 0
}
