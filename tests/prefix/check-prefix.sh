#!/usr/bin/env bash
# The Wine prefixes keep the Linux user's own files out of the program's
# reach.
#  1. The tests' prefix, as purga_ensure_prefix makes or mends it (the same
#     call makes the trial's prefix of scripts/run.sh): no drive onto the
#     Linux root or the home folder, no profile folder linked out of the
#     prefix, no "/" folder on the shell's desktop.
#  2. A prefix as Wine and earlier versions of the scripts left it (Z: onto
#     the root, the profile's folders linked to the home folder) is mended on
#     its next use; nothing in the home folder is lost, and a drive mapped on
#     purpose onto another folder stays.
#  3. A prefix that cannot run 32-bit programs is made again, its settings
#     files kept.
#   check-prefix.sh BUILD_DIR
set -u
export PURGA_BUILD=$1
unset PURGA_WINEPREFIX
source "$(dirname "$0")/../../scripts/wine-env.sh"
failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

# Fails for every drive of prefix $1 onto / or onto home folder $2 or above.
check_drives() {
  local entry target
  for entry in "$1"/dosdevices/[a-z]:; do
    [ -L "$entry" ] || continue
    target=$(readlink -f "$entry") || continue
    if [ "$target" = / ] || [[ "$2/" == "$target"/* ]]; then
      fail "drive ${entry##*/} of $1 is mapped onto $target"
    fi
  done
}

# Fails for every link in the profiles of prefix $1 that leads out of it.
check_profiles() {
  local prefix entry target
  prefix=$(cd "$1" && pwd -P)
  while IFS= read -r -d '' entry; do
    target=$(readlink -f "$entry")
    [[ "$target/" == "$prefix"/* ]] || fail "${entry#"$1"/} links to $target"
  done < <(find "$1/drive_c/users" -type l -print0)
}

# 1. The tests' prefix.
home=$(cd "$HOME" && pwd -P)
if purga_ensure_prefix; then
  check_drives "$WINEPREFIX" "$home"
  check_profiles "$WINEPREFIX"
  desktops=("$WINEPREFIX"/drive_c/users/*/Desktop)
  for folder in "${desktops[@]}" "${desktops[@]/%Desktop/Documents}"; do
    [ -d "$folder" ] && [ ! -L "$folder" ] || fail "${folder#"$WINEPREFIX"/} is not a plain folder"
  done
  for view in 64 32; do
    if (cd "$WINEPREFIX/drive_c" && wine reg query "$PURGA_UNIX_FOLDER_KEY" /reg:$view >/dev/null 2>&1); then
      fail "the shell's desktop of $view-bit programs still shows the Linux files as \"/\""
    fi
  done
else
  fail "purga_ensure_prefix could not make $WINEPREFIX"
fi

# 2. An old prefix, with a home folder of its own.
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
fake_home="$scratch/home/user"
old="$scratch/old-prefix"
profile="$old/drive_c/users/user"
mkdir -p "$fake_home/Desktop" "$scratch/chosen" "$old/dosdevices" "$profile/Contacts" \
  "$profile/AppData/Roaming/Microsoft/Windows"
echo 'int main() {}' >"$fake_home/Desktop/mine.c"
ln -s ../drive_c "$old/dosdevices/c:"
ln -s / "$old/dosdevices/z:"
ln -s "$fake_home" "$old/dosdevices/y:"
ln -s "$scratch/home" "$old/dosdevices/x:"      # above the home folder
ln -s "$scratch/chosen" "$old/dosdevices/d:"    # mapped on purpose
ln -s /dev/null "$old/dosdevices/com1"
ln -s "$fake_home/Desktop" "$profile/Desktop"
ln -s "$fake_home" "$profile/Documents"
ln -s "$fake_home" "$profile/AppData/Roaming/Microsoft/Windows/Templates"
ln -s "$profile/Contacts" "$profile/Links"     # inside the prefix
touch "$old/.purga-ready"

if (HOME=$fake_home WINEPREFIX=$old purga_ensure_prefix) 2>"$scratch/log"; then
  check_drives "$old" "$fake_home"
  check_profiles "$old"
  for drive in c: d: com1; do
    [ -L "$old/dosdevices/$drive" ] || fail "drive $drive was removed"
  done
  for folder in Desktop Documents AppData/Roaming/Microsoft/Windows/Templates; do
    [ -d "$profile/$folder" ] && [ ! -L "$profile/$folder" ] || fail "$folder is not a plain folder"
    [ -z "$(ls -A "$profile/$folder" 2>/dev/null)" ] || fail "$folder is not empty"
  done
  [ -L "$profile/Links" ] || fail "a link inside the prefix was replaced"
  [ -f "$fake_home/Desktop/mine.c" ] || fail "a file of the home folder is gone"
  grep -q 'drive z: (onto /) removed' "$scratch/log" || fail "the mending was not reported"
else
  fail "the old prefix could not be mended: $(cat "$scratch/log")"
fi

# 3. Where Wine runs 32-bit programs, a prefix made without its 32-bit
#    support (an empty syswow64) is dropped to be made again, and its
#    settings files come back into the new one.
if purga_wine_runs_32bit; then
  no32="$scratch/prefix-without-32bit"
  mkdir -p "$no32/drive_c/windows/system32" "$no32/drive_c/windows/syswow64"
  touch "$no32/system.reg" "$no32/.purga-ready"
  printf 'of the 64-bit build' >"$no32/drive_c/windows/system32/Purga.in"
  printf 'of the 32-bit build' >"$no32/drive_c/windows/syswow64/Purga.in"
  (
    export WINEPREFIX=$no32
    purga_drop_prefix_without_32bit 2>/dev/null || fail "the prefix could not be dropped"
    [ ! -e "$no32/.purga-ready" ] || fail "a prefix without the 32-bit system is kept"
    mkdir -p "$no32/drive_c/windows/system32" "$no32/drive_c/windows/syswow64"
    purga_restore_settings || fail "the settings could not be put back"
    [ "$(cat "$no32/drive_c/windows/system32/Purga.in")" = 'of the 64-bit build' ] &&
      [ "$(cat "$no32/drive_c/windows/syswow64/Purga.in")" = 'of the 32-bit build' ] ||
      fail "the settings files were not kept"
    exit "$failures"
  ) || failures=$((failures + $?))
fi

if ((failures)); then
  echo "$failures failure(s)"
  exit 1
fi
echo "The prefixes keep the Linux files out of reach."
