#!/usr/bin/env bash
# Installs what is missing, builds the third-party libraries once, then
# configures and builds both configurations:
#   build/win     vistrel.exe and the Windows tests (MinGW-w64, run under Wine)
#   build/native  the platform-free code with its tests under ASan/UBSan, and the benchmarks
#   build/fuzz    the libFuzzer targets (only when clang is installed)
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
jobs=$(nproc 2>/dev/null || echo 2)

"$root/scripts/install-packages.sh"
"$root/scripts/build-third-party.sh"

gtest_src=/usr/src/googletest
# The test pictures are made with PIL, which Debian's own Python has
# (python3-pil), not necessarily the first python3 on the PATH.
python=/usr/bin/python3
third_party="$root/.cache/third-party/mingw-x86_64"
# VISTREL_BUILD_SUFFIX gives a second pair of build trees (build/win-x,
# build/native-x), each with its own Wine prefix, for parallel work.
win="$root/build/win${VISTREL_BUILD_SUFFIX:-}"
native="$root/build/native${VISTREL_BUILD_SUFFIX:-}"

# Configured on every run (quick once the tree exists), so that a tree made
# by an older version of this script gets the current settings.
cmake -S "$root" -B "$win" --no-warn-unused-cli \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" \
  -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_FIND_ROOT_PATH="$third_party" \
  -DZLIB_USE_STATIC_LIBS=ON \
  -DVISTREL_GTEST_SOURCE_DIR="$gtest_src" \
  -DPython3_EXECUTABLE="$python" >/dev/null
# VISTREL_WIN_TARGET builds one target only (scripts/package.sh: the packages).
cmake --build "$win" -j "$jobs" ${VISTREL_WIN_TARGET:+--target "$VISTREL_WIN_TARGET"}

if [ "${VISTREL_SKIP_NATIVE:-0}" != "1" ]; then
  cmake -S "$root" -B "$native" --no-warn-unused-cli \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DVISTREL_GTEST_SOURCE_DIR="$gtest_src" \
    -DPython3_EXECUTABLE="$python" >/dev/null
  cmake --build "$native" -j "$jobs"
fi

# The fuzz targets need clang's libFuzzer; CI installs it (install-packages.sh).
if [ "${VISTREL_SKIP_NATIVE:-0}" != "1" ] && command -v clang++ >/dev/null 2>&1; then
  fuzz="$root/build/fuzz${VISTREL_BUILD_SUFFIX:-}"
  CC=clang CXX=clang++ cmake -S "$root" -B "$fuzz" --no-warn-unused-cli \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DVISTREL_FUZZ=ON >/dev/null
  cmake --build "$fuzz" -j "$jobs" --target fuzz_targets
fi
