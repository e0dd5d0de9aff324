#!/usr/bin/env bash
# Brings a Debian 12 machine to what the build and the tests need, and installs the packages
# named as arguments.
# Idempotent: prints nothing and changes nothing when everything is present.
set -euo pipefail

packages=(
  cmake ninja-build g++ googletest
  g++-mingw-w64-i686 binutils-mingw-w64-i686
  wine wine32:i386 xvfb xauth locales
  fonts-wqy-microhei file python3 libxxhash-dev libstb-dev
  clang-14 libclang-rt-14-dev libfuzzer-14-dev
)
packages+=("$@")  # what a caller needs besides (tools/release.sh: the packaging tools)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'ok installed'; then
    missing+=("$p")
  fi
done

sudo_cmd=()
if [ "$(id -u)" != 0 ]; then sudo_cmd=(sudo); fi

if [ ${#missing[@]} -gt 0 ]; then
  echo "installing: ${missing[*]}"
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    "${sudo_cmd[@]}" dpkg --add-architecture i386
  fi
  export DEBIAN_FRONTEND=noninteractive
  "${sudo_cmd[@]}" apt-get update -qq
  "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# Wine's loader is a 32-bit Linux program. Some virtual machines cannot execute 32-bit code at
# all (the kernel answers "Exec format error"); there the user-mode CPU emulator runs 32-bit
# programs through the kernel's binfmt_misc. Slow, but the same Wine and the same results.
# The emulator of Debian 12 itself (7.2) runs Wine's start-up but hangs its desktop process
# (explorer.exe) in an endless memory-mapping loop; the one of bookworm-backports works.
qemu_usable() {
  local version
  version=$(dpkg-query -W -f='${Version}' qemu-user-static 2>/dev/null) || return 1
  dpkg --compare-versions "$version" ge 1:8
}
if ! /lib/ld-linux.so.2 --version >/dev/null 2>&1 || [ -e /proc/sys/fs/binfmt_misc/qemu-i386 ]; then
  if ! qemu_usable; then
    echo "installing: qemu-user-static from bookworm-backports (this machine cannot run 32-bit code)"
    if ! grep -rqs 'bookworm-backports' /etc/apt/sources.list /etc/apt/sources.list.d/; then
      printf 'Types: deb\nURIs: http://deb.debian.org/debian\nSuites: bookworm-backports\n%s\n%s\n' \
        'Components: main' 'Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg' |
        "${sudo_cmd[@]}" tee /etc/apt/sources.list.d/bookworm-backports.sources >/dev/null
    fi
    export DEBIAN_FRONTEND=noninteractive
    "${sudo_cmd[@]}" apt-get update -qq
    "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends -t bookworm-backports \
      qemu-user-static >/dev/null
    # An entry made with the old emulator keeps using it (flag F holds the file open).
    if [ -e /proc/sys/fs/binfmt_misc/qemu-i386 ]; then
      echo -1 | "${sudo_cmd[@]}" tee /proc/sys/fs/binfmt_misc/qemu-i386 >/dev/null
    fi
  fi
  if [ ! -f /proc/sys/fs/binfmt_misc/register ]; then
    "${sudo_cmd[@]}" mount -t binfmt_misc binfmt_misc /proc/sys/fs/binfmt_misc
  fi
  # ELF, 32-bit, little-endian, executable or position-independent (the mask folds type 2
  # and 3), machine 3 (Intel 80386).
  if [ ! -e /proc/sys/fs/binfmt_misc/qemu-i386 ]; then
    magic='\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00'
    mask='\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff'
    echo ":qemu-i386:M::${magic}:${mask}:/usr/bin/qemu-i386-static:F" |
      "${sudo_cmd[@]}" tee /proc/sys/fs/binfmt_misc/register >/dev/null
  fi
  /lib/ld-linux.so.2 --version >/dev/null 2>&1 || {
    echo "install-deps.sh: 32-bit programs still cannot run; Wine will not work" >&2
    exit 1
  }
fi
