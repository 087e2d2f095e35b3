#!/usr/bin/env bash
# Installs the Debian packages that building and testing Vistrel needs.
# Idempotent: packages already present are left alone, and apt is only
# called when something is missing.
set -euo pipefail

packages=(
  cmake make git
  g++ gcc                              # the native build of the platform-free code
  g++-mingw-w64-x86-64-posix           # the Windows cross-compiler (x86-64, posix threads)
  gcc-mingw-w64-x86-64-posix
  binutils-mingw-w64-x86-64            # windres, ar
  mingw-w64-tools
  libz-mingw-w64-dev                   # zlib for the Windows build (under libpng)
  nasm                                 # libjpeg-turbo's SIMD code
  dpkg-dev                             # dpkg-source, to unpack Debian source packages with their patches
  wine64 wine                          # runs vistrel.exe and the Windows tests
  xvfb xauth x11-utils xdotool         # a virtual display for windows, keys for the run script
  imagemagick                          # screenshots of the virtual display, test pictures
  python3 python3-pil                  # test pictures
  googletest                           # GoogleTest sources, built with each compiler
  libbenchmark-dev libpixman-1-dev     # native benchmarks and their baseline
  pkgconf                              # finds pixman for the benchmark
  libjpeg62-turbo-dev libpng-dev libgif-dev  # the host build of the JPEG, PNG and GIF decoding
  libjpeg-turbo-progs                  # djpeg, the reference output of the JPEG tests
  nsis                                 # makensis, for the installer
  clang libclang-rt-14-dev             # libFuzzer with ASan and UBSan for the fuzz targets
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "Installing: ${missing[*]}"
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
$SUDO apt-get update -q
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -q "${missing[@]}"
