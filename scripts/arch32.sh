# Sourced: whether this machine runs 32-bit Windows programs under Wine.
# Some kernels are built without 32-bit x86 support; Wine's 32-bit loader
# then fails with "Exec format error", and so would every test of the 32-bit
# build.

PURGA_NO_32BIT="32-bit tests not run: this kernel cannot execute 32-bit programs"
PURGA_SCRIPTS="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"

# True when the kernel executes a 32-bit x86 program: a hand-made ELF of 96
# bytes whose code is "exit(42)" through the i386 system call. It is written
# into the build folder, not /tmp, which may be mounted noexec: only a
# kernel that cannot run it may make this false.
purga_kernel_runs_32bit() {
  local dir status
  mkdir -p "$PURGA_SCRIPTS/../build" && dir=$(mktemp -d -p "$PURGA_SCRIPTS/../build") || return 1
  # The ELF header, one loadable segment, then the code: mov eax, 1 (exit);
  # mov ebx, 42; int 0x80.
  local elf='\x7f\x45\x4c\x46\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00'
  elf+='\x01\x00\x00\x00\x54\x80\x04\x08\x34\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00'
  elf+='\x34\x00\x20\x00\x01\x00\x00\x00\x00\x00\x00\x00'
  elf+='\x01\x00\x00\x00\x00\x00\x00\x00\x00\x80\x04\x08\x00\x80\x04\x08'
  elf+='\x60\x00\x00\x00\x60\x00\x00\x00\x05\x00\x00\x00\x00\x10\x00\x00'
  elf+='\xb8\x01\x00\x00\x00\xbb\x2a\x00\x00\x00\xcd\x80'
  printf "$elf" >"$dir/probe"
  chmod +x "$dir/probe"
  "$dir/probe" 2>/dev/null
  status=$?
  rm -rf "$dir"
  [ "$status" = 42 ]
}

# True when Wine can start 32-bit programs here: its 32-bit loader is
# installed and the kernel runs it.
purga_wine_runs_32bit() {
  [ -x /usr/lib/wine/wine ] && purga_kernel_runs_32bit
}

# Why the 32-bit tests cannot run here; nothing when they can.
purga_why_no_32bit() {
  if ! purga_kernel_runs_32bit; then
    echo "$PURGA_NO_32BIT"
  elif [ ! -x /usr/lib/wine/wine ]; then
    echo "32-bit tests not run: Wine's 32-bit support (wine32:i386) could not be installed"
  fi
}
