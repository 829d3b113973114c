#!/usr/bin/env bash
# Installs everything the build and the tests need, from Debian's package registry only.
# Idempotent: when every package is present it only checks and returns.
set -euo pipefail

need_root() { if [ "$(id -u)" -ne 0 ]; then echo "sudo"; fi; }
SUDO=$(need_root)

PKGS=(
  g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix libz-mingw-w64-dev
  wine wine64 wine32:i386
  xvfb xauth pulseaudio pulseaudio-utils xdotool imagemagick x11-apps zstd
  cmake ninja-build g++ clang libclang-rt-14-dev pkg-config
  libgtest-dev googletest libbenchmark-dev libfftw3-dev zlib1g-dev libpng-dev
  gstreamer1.0-plugins-good gstreamer1.0-plugins-good:i386 iso-codes python3
  dpkg-dev openssl osslsigncode
)
# Runs Wine's 32-bit loader where the kernel runs no 32-bit ELF programs (tools/winplatform.sh
# registers it in a private namespace). Without recommends: nothing registered machine-wide.
BARE_PKGS=(qemu-user-static)

installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }
missing=()
for p in "${PKGS[@]}"; do
  installed "$p" || missing+=("$p")
done
missing_bare=()
for p in "${BARE_PKGS[@]}"; do
  installed "$p" || missing_bare+=("$p")
done

src_list=/etc/apt/sources.list.d/qvr-deb-src.sources
if [ ${#missing[@]} -gt 0 ] || [ ${#missing_bare[@]} -gt 0 ] || [ ! -f "$src_list" ]; then
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    $SUDO dpkg --add-architecture i386
  fi
  # libpng for MinGW is built from Debian's source package, so the source suites must be known.
  if [ ! -f "$src_list" ]; then
    uris=$(grep -h '^URIs:' /etc/apt/sources.list.d/debian.sources 2>/dev/null | head -1 | cut -d' ' -f2)
    : "${uris:=http://deb.debian.org/debian}"
    printf 'Types: deb-src\nURIs: %s\nSuites: bookworm bookworm-updates\nComponents: main\nSigned-By: /usr/share/keyrings/debian-archive-keyring.gpg\n' \
      "$uris" | $SUDO tee "$src_list" >/dev/null
  fi
  $SUDO apt-get update -qq
  if [ ${#missing[@]} -gt 0 ]; then
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq "${missing[@]}" >/dev/null
  fi
  if [ ${#missing_bare[@]} -gt 0 ]; then
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing_bare[@]}" >/dev/null
  fi
fi
