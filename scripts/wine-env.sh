# Sourced: the environment of a Wine prefix of the project, made on first use.
# PURGA_BUILD names the build folder that holds the prefixes. The tests run in
# wineprefix-tests; scripts/run.sh sets PURGA_WINEPREFIX to the trial's
# wineprefix, so that no test touches the trial's settings.
#
# Wine's system code page follows the locale (LC_CTYPE), the user's formats
# and display language follow LC_MESSAGES. PURGA_CODEPAGE tries a Japanese
# user on another Windows than a Japanese one (932, the default), in a
# prefix of its own (the name ends in -cp<code page>): 1252, English or
# Western European Windows; 65001, Japanese Windows with "Beta: Use Unicode
# UTF-8" on, which Wine gives for a system locale that has no code page of
# its own (Hindi).
: "${PURGA_BUILD:=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)/build/win64}"
export PURGA_CODEPAGE="${PURGA_CODEPAGE:-932}"
purga_prefix_suffix=""
[ "$PURGA_CODEPAGE" = 932 ] || purga_prefix_suffix="-cp$PURGA_CODEPAGE"
export WINEPREFIX="${PURGA_WINEPREFIX:-$PURGA_BUILD/wineprefix-tests}$purga_prefix_suffix"
export WINEARCH=win64
unset LC_ALL LC_CTYPE LC_MESSAGES LC_TIME LC_NUMERIC LC_COLLATE LC_MONETARY
case "$PURGA_CODEPAGE" in
  932) export LANG=ja_JP.UTF-8 LC_ALL=ja_JP.UTF-8 ;;
  1252) export LANG=en_US.UTF-8 LC_MESSAGES=ja_JP.UTF-8 ;;
  65001) export LANG=ja_JP.UTF-8 LC_CTYPE=hi_IN.UTF-8 ;;
  *) echo "wine-env: PURGA_CODEPAGE must be 932, 1252 or 65001, not $PURGA_CODEPAGE" >&2; return 1 ;;
esac
export WINEDEBUG=-all
# No installer prompt (Mono, Gecko) may wait for a click, and no menu entry
# or file association goes into the Linux user's home (winemenubuilder).
export WINEDLLOVERRIDES="mscoree=;mshtml=;winemenubuilder.exe=d"

source "$(dirname "${BASH_SOURCE[0]}")/arch32.sh"

# The shell's "/" folder on the desktop: the Linux files, browsable (and
# renamable) in the program's folder trees.
PURGA_UNIX_FOLDER_KEY='HKLM\Software\Microsoft\Windows\CurrentVersion\Explorer\Desktop\Namespace\{9D20AAE8-0625-44B0-9CA7-71889C2254D9}'

purga_ensure_prefix() {
  mkdir -p "$WINEPREFIX"
  # Only one process makes or mends the prefix; the others wait for it. The
  # marker is written only when every step worked, so a failed attempt is
  # retried.
  (
    flock 9
    purga_drop_prefix_without_32bit || exit 1
    if [ ! -f "$WINEPREFIX/.purga-ready" ]; then
      wineboot -i >/dev/null 2>&1
      wineserver -w
      [ -f "$WINEPREFIX/system.reg" ] || { echo "wine-env: wineboot made no prefix in $WINEPREFIX" >&2; exit 1; }
      purga_restore_settings || exit 1
      # The forms name "ＭＳ Ｐゴシック"; IPA P Gothic has the same metrics.
      wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v 'ＭＳ Ｐゴシック' /d 'IPAPGothic' /f >/dev/null 2>&1 &&
        wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v 'ＭＳ ゴシック' /d 'IPAGothic' /f >/dev/null 2>&1 ||
        { echo "wine-env: could not map the fonts in $WINEPREFIX" >&2; exit 1; }
      purga_seal_prefix 2>/dev/null || exit 1
      wineserver -w
      purga_link_wine_fonts
      touch "$WINEPREFIX/.purga-ready"
    else
      # A prefix made by an earlier version of this script, or one that Wine
      # or a tool changed since, is mended on the way.
      purga_seal_prefix || exit 1
      purga_link_wine_fonts
    fi
  ) 9>"$WINEPREFIX.lock"
}

# A prefix made before Wine's 32-bit support was installed has no 32-bit
# system in syswow64, and wineboot -u does not add it; once that support is
# installed, "wine" starts every program through the 32-bit loader, so in
# such a prefix every program fails, 64-bit ones too. It is made again; the
# program's settings files (Purga.in in system32, and in syswow64 where a
# 32-bit program's writes land) wait beside the prefix until the new one is
# there.
purga_drop_prefix_without_32bit() {
  local windows="$WINEPREFIX/drive_c/windows" kept="$WINEPREFIX.kept" folder
  [ -f "$WINEPREFIX/system.reg" ] && [ ! -f "$windows/syswow64/kernel32.dll" ] || return 0
  purga_wine_runs_32bit || return 0
  echo "wine-env: $WINEPREFIX cannot run 32-bit programs; making it again (its Purga.in files are kept)" >&2
  for folder in system32 syswow64; do
    if [ -f "$windows/$folder/Purga.in" ]; then
      mkdir -p "$kept/$folder" && cp -p "$windows/$folder/Purga.in" "$kept/$folder/" || return 1
    fi
  done
  wineserver -k 2>/dev/null
  wineserver -w 2>/dev/null
  rm -rf "$WINEPREFIX" && mkdir -p "$WINEPREFIX"
}

# Puts back the settings files kept by purga_drop_prefix_without_32bit.
purga_restore_settings() {
  local windows="$WINEPREFIX/drive_c/windows" kept="$WINEPREFIX.kept" folder
  [ -d "$kept" ] || return 0
  for folder in system32 syswow64; do
    if [ -f "$kept/$folder/Purga.in" ]; then
      cp -p "$kept/$folder/Purga.in" "$windows/$folder/" || return 1
    fi
  done
  rm -rf "$kept"
}

# Keeps the Linux user's own files out of the program's reach. Wine maps Z:
# onto the Linux root and links the profile's Desktop, Documents, Music, ...
# to the home folder, and the program takes them for ordinary folders of a
# fixed drive: a run with the default settings would delete the user's files.
# A drive onto the root, the home folder or a folder above it goes; a link of
# a profile folder to outside the prefix becomes an empty plain folder (the
# link goes, its target stays); the desktop's "/" folder goes. A drive that
# the user mapped onto another folder on purpose stays. Quick when there is
# nothing to mend.
purga_seal_prefix() {
  local prefix home entry target
  prefix=$(cd "$WINEPREFIX" && pwd -P) || return 1
  home=$(cd "${HOME:-/}" 2>/dev/null && pwd -P) || home=/
  for entry in "$WINEPREFIX"/dosdevices/[a-z]:; do
    [ -L "$entry" ] || continue
    target=$(readlink -f "$entry") || continue
    [ "$target" = / ] || [[ "$home/" == "$target"/* ]] || continue
    rm -f "$entry" || return 1
    echo "wine-env: drive ${entry##*/} (onto $target) removed from $WINEPREFIX" >&2
  done
  while IFS= read -r -d '' entry; do
    target=$(readlink -f "$entry")
    [[ "$target/" == "$prefix"/* ]] && continue
    rm -f "$entry" && mkdir "$entry" || return 1
    echo "wine-env: ${entry#"$WINEPREFIX"/} (a link to $target) is now a folder of its own" >&2
  done < <(find "$WINEPREFIX/drive_c/users" -type l -print0 2>/dev/null)
  # The registry file lags behind a running server by up to half a minute: a
  # second deletion of the key meanwhile is harmless. The key is gone from
  # both registry views: once wine32 is installed, `wine reg` is the 32-bit
  # reg.exe, which without /reg:64 sees only the 32-bit programs' view.
  if grep -qF 'Desktop\\Namespace\\{9D20AAE8-0625-44B0-9CA7-71889C2254D9}]' "$WINEPREFIX/system.reg" 2>/dev/null; then
    (cd "$WINEPREFIX/drive_c" && for view in 64 32; do
      wine reg delete "$PURGA_UNIX_FOLDER_KEY" /reg:$view /f >/dev/null 2>&1
    done)
  fi
  return 0
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

# Puts Windows programs, and the files they need beside them, into C:\Purgator
# of the prefix (hard links where it can, copies otherwise) and prints the
# Windows path of the first. Programs run from there: the prefix has no drive
# onto the Linux files, and a program started from a Unix path does not know a
# proper name of its own folder (where the help file and screenshots go).
purga_install() {  # files...
  local folder="$WINEPREFIX/drive_c/Purgator" file
  mkdir -p "$folder" || return 1
  for file; do
    ln -f "$file" "$folder/" 2>/dev/null || cp -f "$file" "$folder/" || return 1
  done
  printf 'C:\\Purgator\\%s\n' "${1##*/}"
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
    cd "$WINEPREFIX/drive_c" && exec wine cmd.exe /c exit
  ) </dev/null >/dev/null 2>&1
  return 0
}
