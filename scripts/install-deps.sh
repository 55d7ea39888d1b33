#!/usr/bin/env bash
# Installs every Debian package that the build, the tests and a run need.
# Idempotent: it checks first, so a second call costs seconds.
set -euo pipefail

packages=(
  cmake ninja-build g++ ccache libgtest-dev googletest
  clang libclang-rt-14-dev
  g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix binutils-mingw-w64-x86-64 binutils-mingw-w64-i686
  wine wine64 xvfb xauth x11-utils
  locales fonts-ipafont-gothic fonts-wine
  fp-utils imagemagick python3
)

# A mirror being synced fails one list or another now and then: what can be
# installed from the lists there are is installed, and a package that cannot
# be fails the install below.
apt_update() {
  $SUDO env DEBIAN_FRONTEND=noninteractive apt-get update -qq ||
    echo "install-deps: some package lists could not be updated; going on with the others" >&2
}

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  echo "Installing: ${missing[*]}"
  SUDO=""; [ "$(id -u)" -ne 0 ] && SUDO=sudo
  # env: sudo would drop the variable, and a prompt would stop CI.
  apt_update
  $SUDO env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# Wine's 32-bit support, for the 32-bit release (i386 multiarch). Only where
# the kernel runs 32-bit code: elsewhere Debian's "wine" would start every
# program, 64-bit ones too, through a 32-bit loader that cannot run.
source "$(dirname "$0")/arch32.sh"
if ! purga_kernel_runs_32bit; then
  echo "install-deps: this kernel cannot execute 32-bit programs; Wine's 32-bit support is not installed" >&2
elif ! dpkg-query -W -f='${Status}' wine32:i386 2>/dev/null | grep -q "install ok installed"; then
  echo "Installing: wine32:i386"
  SUDO=""; [ "$(id -u)" -ne 0 ] && SUDO=sudo
  dpkg --print-foreign-architectures | grep -qx i386 || $SUDO dpkg --add-architecture i386
  apt_update
  # Without it only the 32-bit tests cannot run, and the test command says
  # so: the rest need not wait for a mirror to be mended.
  $SUDO env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends wine32:i386 >/dev/null ||
    echo "install-deps: Wine's 32-bit support could not be installed: 32-bit programs cannot be run here" >&2
fi

# Wine takes its code page from the locale only when the locale exists:
# Japanese (932), and for the tests on other systems English (1252) and
# Hindi (65001).
missing_locales=()
for name in ja_JP en_US hi_IN; do
  locale -a 2>/dev/null | grep -qi "^$name\.utf-\?8$" || missing_locales+=("$name")
done
if ((${#missing_locales[@]})); then
  SUDO=""; [ "$(id -u)" -ne 0 ] && SUDO=sudo
  for name in "${missing_locales[@]}"; do
    $SUDO sed -i "s/^# *$name.UTF-8 UTF-8/$name.UTF-8 UTF-8/" /etc/locale.gen
    grep -q "^$name.UTF-8 UTF-8" /etc/locale.gen || echo "$name.UTF-8 UTF-8" | $SUDO tee -a /etc/locale.gen >/dev/null
  done
  $SUDO locale-gen >/dev/null
fi
