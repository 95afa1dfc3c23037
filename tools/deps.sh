#!/usr/bin/env bash
# Cross-builds libpng and libjpeg-turbo for the Windows build from Debian's
# source packages (with Debian's patches applied) into a prefix in the build
# tree, keyed by the source versions so a second build skips the work.
# Prints the prefix on its last line.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${VISTREL_BUILD:-$root/build}
triple=x86_64-w64-mingw32
jobs=${VISTREL_JOBS:-2}

# Source versions, newest first: a mirror may list a version it no longer
# serves, so the download falls back to the next one.
srcvers() { apt-cache showsrc "$1" 2>/dev/null | awk '/^Version:/ {print $2}' | sort -r -V -u; }
fetch() { # package -> downloads the newest version that can be had, prints it
  local v
  for v in $(srcvers "$1"); do
    if apt-get source --download-only "$1=$v" >/dev/null 2>&1; then echo "$v"; return 0; fi
  done
  return 1
}
png_ver=$(srcvers libpng1.6 | head -n1)
jpeg_ver=$(srcvers libjpeg-turbo | head -n1)
if [ -z "$png_ver" ] || [ -z "$jpeg_ver" ]; then
  echo "deps: no source package versions (run tools/setup.sh first)" >&2
  exit 1
fi
# A finished prefix for any listed version pair is reused.
for pv in $(srcvers libpng1.6); do
  for jv in $(srcvers libjpeg-turbo); do
    k=$(printf 'png-%s_jpeg-%s' "$pv" "$jv" | tr ':~+' '___')
    if [ -f "$build/deps/$k/.done" ]; then echo "$build/deps/$k"; exit 0; fi
  done
done

work=$build/deps/src
rm -rf "$work"
mkdir -p "$work"
cd "$work"
png_ver=$(fetch libpng1.6) || { echo "deps: cannot download libpng1.6 sources" >&2; exit 1; }
jpeg_ver=$(fetch libjpeg-turbo) || { echo "deps: cannot download libjpeg-turbo sources" >&2; exit 1; }
key=$(printf 'png-%s_jpeg-%s' "$png_ver" "$jpeg_ver" | tr ':~+' '___')
prefix=$build/deps/$key
rm -rf "$prefix"
for dsc in *.dsc; do dpkg-source --no-check -x "$dsc" >/dev/null; done
png_src=$(find . -maxdepth 1 -type d -name 'libpng1.6-*' | head -n1)
jpeg_src=$(find . -maxdepth 1 -type d -name 'libjpeg-turbo-*' | head -n1)

cat > toolchain.cmake <<TC
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER $triple-gcc-posix)
set(CMAKE_CXX_COMPILER $triple-g++-posix)
set(CMAKE_RC_COMPILER $triple-windres)
set(CMAKE_FIND_ROOT_PATH /usr/$triple)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
TC

cmake -S "$jpeg_src" -B jpeg-build -G Ninja -DCMAKE_TOOLCHAIN_FILE="$work/toolchain.cmake" \
  -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" \
  -DENABLE_SHARED=OFF -DENABLE_STATIC=ON -DWITH_TURBOJPEG=OFF -DWITH_SIMD=ON \
  -DCMAKE_ASM_NASM_COMPILER=nasm >/dev/null
cmake --build jpeg-build -j "$jobs" >/dev/null
cmake --install jpeg-build >/dev/null

cmake -S "$png_src" -B png-build -G Ninja -DCMAKE_TOOLCHAIN_FILE="$work/toolchain.cmake" \
  -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" \
  -DPNG_SHARED=OFF -DPNG_STATIC=ON -DPNG_TESTS=OFF -DPNG_EXECUTABLES=OFF \
  -DZLIB_INCLUDE_DIR=/usr/$triple/include -DZLIB_LIBRARY=/usr/$triple/lib/libz.a >/dev/null
cmake --build png-build -j "$jobs" >/dev/null
cmake --install png-build >/dev/null

rm -rf "$work"
touch "$prefix/.done"
echo "$prefix"
