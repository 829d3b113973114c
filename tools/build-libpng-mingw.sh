#!/usr/bin/env bash
# Builds libpng for MinGW-w64 as a static library from Debian's source package (Debian ships no
# MinGW libpng). Installs into build/deps/<triplet>; does nothing when it is already there.
# usage: tools/build-libpng-mingw.sh x86_64-w64-mingw32|i686-w64-mingw32
set -euo pipefail
triplet=${1:?triplet}
root=$(cd "$(dirname "$0")/.." && pwd)
deps=$root/build/deps
prefix=$deps/$triplet
[ -f "$prefix/lib/libpng.a" ] && [ -f "$prefix/include/png.h" ] && exit 0

src_parent=$deps/src
mkdir -p "$src_parent"
src=$(find "$src_parent" -maxdepth 1 -type d -name 'libpng1.6-*' | head -1)
if [ -z "$src" ]; then
  (cd "$src_parent" && apt-get source -qq libpng1.6 >/dev/null 2>&1) || {
    echo "build-libpng-mingw: apt-get source libpng1.6 failed (is a deb-src entry present? run tools/install-deps.sh)" >&2
    exit 1
  }
  src=$(find "$src_parent" -maxdepth 1 -type d -name 'libpng1.6-*' | head -1)
fi

build=$deps/build-libpng-$triplet
rm -rf "$build"
cmake -S "$src" -B "$build" -G Ninja -Wno-dev \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-mingw-${triplet%%-*}.cmake" \
  -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" \
  -DCMAKE_CROSSCOMPILING_EMULATOR= \
  -DPNG_SHARED=OFF -DPNG_STATIC=ON -DPNG_TESTS=OFF -DPNG_EXECUTABLES=OFF -DPNG_TOOLS=OFF \
  -DSKIP_INSTALL_PROGRAMS=ON -DSKIP_INSTALL_FILES=ON \
  -DZLIB_LIBRARY=/usr/$triplet/lib/libz.a -DZLIB_INCLUDE_DIR=/usr/$triplet/include >/dev/null
cmake --build "$build" >/dev/null
cmake --install "$build" >/dev/null
rm -rf "$build"
