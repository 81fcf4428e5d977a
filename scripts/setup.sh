#!/usr/bin/env bash
# Installs the Debian packages that the build, the tests and the tools need.
# Idempotent: when everything is present it returns at once without touching apt.
set -euo pipefail

packages=(
  cmake make g++ g++-multilib g++-mingw-w64-i686
  wine wine64 wine32:i386 googletest clang clang-format
  libpng-dev libbenchmark-dev pkg-config
)

need_i386=0
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  need_i386=1
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}\n' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

# 32-bit x86 programs (the linux32 tests, and Wine's 32-bit loader) need a
# kernel that runs them. Some virtual machines cannot; there they run under
# qemu's user-mode emulator, registered with binfmt_misc.
probe=$(mktemp -d)
trap 'rm -rf "$probe"' EXIT
runs_i386() {
  command -v gcc >/dev/null && dpkg-query -W -f='${Status}' g++-multilib 2>/dev/null | grep -q 'ok installed' || return 2
  echo 'int main(void){return 0;}' >"$probe/p.c"
  gcc -m32 "$probe/p.c" -o "$probe/p" 2>/dev/null || return 2
  "$probe/p" 2>/dev/null
}

install_missing() {
  [ "$need_i386" = 0 ] && [ "${#missing[@]}" = 0 ] && return 0
  sudo=""
  if [ "$(id -u)" != 0 ]; then sudo="sudo"; fi
  if [ "$need_i386" = 1 ]; then
    $sudo dpkg --add-architecture i386
  fi
  echo "setup: installing ${missing[*]}" >&2
  export DEBIAN_FRONTEND=noninteractive
  # Refresh the package lists only when an install cannot find what it needs
  # (a new architecture always needs a refresh).
  if [ "$need_i386" = 1 ] || ! $sudo apt-get install -y -q --no-install-recommends "${missing[@]}" >/dev/null 2>&1; then
    $sudo apt-get update -q
    $sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
  fi
  need_i386=0
  missing=()
}

install_missing

if ! runs_i386; then
  if ! dpkg-query -W -f='${Status}' qemu-user 2>/dev/null | grep -q 'ok installed'; then
    missing=(qemu-user)
    install_missing
  fi
  binfmt=/proc/sys/fs/binfmt_misc
  if [ ! -e "$binfmt/register" ]; then
    mount -t binfmt_misc binfmt_misc "$binfmt"
  fi
  if [ ! -e "$binfmt/qemu-i386" ]; then
    # i386 executables and shared objects, run by qemu-i386 (F: opened now,
    # so it works from any mount namespace; P: keeps argv[0]).
    printf '%s' ':qemu-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:/usr/bin/qemu-i386:FP' >"$binfmt/register"
  fi
  runs_i386 || { echo "setup: 32-bit programs cannot run on this machine" >&2; exit 1; }
fi
exit 0

