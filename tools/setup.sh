#!/usr/bin/env bash
# Installs every Debian package the build and the tests need. Idempotent: only
# what is missing is installed; source lists are derived from the existing
# binary lists so that no host is named here.
set -euo pipefail

packages=(
  # Windows cross build
  g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 libz-mingw-w64-dev nasm dpkg-dev
  # native build and the reference libraries the tests judge our files with
  build-essential cmake ninja-build pkg-config libgtest-dev libpng-dev libjpeg-dev zlib1g-dev
  libgif-dev libjpeg-turbo-progs pngcheck python3 python3-pil clang libclang-rt-14-dev valgrind
  # running and driving the program
  wine wine64 xvfb xauth xdotool x11-utils imagemagick
  # release packages: the installer (the zip comes from CPack itself), unzip for its test
  nsis unzip
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}\n' "$p" 2>/dev/null | grep -q '^install ok installed$' || missing+=("$p")
done

need_update=0
# deb-src entries are needed for `apt-get source` (libpng and libjpeg-turbo for MinGW).
if ! grep -rqs '^Types:.*deb-src' /etc/apt/sources.list.d/ && ! grep -qs '^deb-src' /etc/apt/sources.list; then
  if [ -f /etc/apt/sources.list.d/debian.sources ]; then
    sed 's/^Types: deb$/Types: deb-src/' /etc/apt/sources.list.d/debian.sources \
      > /etc/apt/sources.list.d/debian-src.sources
  elif [ -f /etc/apt/sources.list ]; then
    sed -n 's/^deb \(.*\)$/deb-src \1/p' /etc/apt/sources.list > /etc/apt/sources.list.d/debian-src.list
  fi
  need_update=1
fi

if [ ${#missing[@]} -gt 0 ] || [ $need_update = 1 ]; then
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -q
fi
if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  apt-get install -y -q --no-install-recommends "${missing[@]}"
fi
echo "setup: all packages present"
