#!/usr/bin/env bash
# Installs what is missing, builds the third-party libraries once, then
# configures and builds both configurations:
#   build/win     vistrel.exe and the Windows tests (MinGW-w64, run under Wine)
#   build/native  the platform-free code with its tests under ASan/UBSan, and the benchmarks
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
jobs=$(nproc 2>/dev/null || echo 2)

"$root/scripts/install-packages.sh"
"$root/scripts/build-third-party.sh"

gtest_src=/usr/src/googletest
third_party="$root/.cache/third-party/mingw-x86_64"

if [ ! -f "$root/build/win/CMakeCache.txt" ]; then
  cmake -S "$root" -B "$root/build/win" \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" \
    -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_FIND_ROOT_PATH="$third_party" \
    -DZLIB_USE_STATIC_LIBS=ON \
    -DVISTREL_GTEST_SOURCE_DIR="$gtest_src"
fi
cmake --build "$root/build/win" -j "$jobs"

if [ "${VISTREL_SKIP_NATIVE:-0}" != "1" ]; then
  if [ ! -f "$root/build/native/CMakeCache.txt" ]; then
    cmake -S "$root" -B "$root/build/native" \
      -DCMAKE_BUILD_TYPE=RelWithDebInfo \
      -DVISTREL_GTEST_SOURCE_DIR="$gtest_src"
  fi
  cmake --build "$root/build/native" -j "$jobs"
fi
