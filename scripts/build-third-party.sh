#!/usr/bin/env bash
# Builds libjpeg-turbo (with its SIMD code), libpng 1.6 and giflib 5 as static
# MinGW-w64 libraries from Debian's source packages, with Debian's patches
# applied. Sources and results live in .cache/third-party (ignored by git);
# a second run finds the finished prefix and returns at once.
#
# Output prefix: .cache/third-party/mingw-x86_64/{include,lib}
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
cache="$root/.cache/third-party"
prefix="$cache/mingw-x86_64"
toolchain="$root/cmake/mingw-w64-x86_64.cmake"
jobs=$(nproc 2>/dev/null || echo 2)
stamp="$prefix/.complete-v1"

if [ -f "$stamp" ]; then
  exit 0
fi

mkdir -p "$cache/src" "$cache/build"

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi

# Source entries: derived from the machine's own binary entries, so no host
# name is written anywhere.
ensure_deb_src() {
  if apt-cache showsrc giflib 2>/dev/null | grep -q '^Package: giflib'; then
    return
  fi
  local list=/etc/apt/sources.list.d/vistrel-deb-src.sources
  local tmp
  tmp=$(mktemp)
  local f
  for f in /etc/apt/sources.list.d/*.sources; do
    [ -f "$f" ] || continue
    [ "$f" = "$list" ] && continue
    # deb822 stanzas: keep those of type deb (and not disabled), turned into deb-src.
    sed -e '/^[[:space:]]*#/d' "$f" | awk 'BEGIN{RS=""; ORS="\n\n"}
      { keep = 0; off = 0; n = split($0, l, "\n"); out = "";
        for (i = 1; i <= n; i++) {
          if (l[i] ~ /^Types:/) { if (l[i] ~ /[: ]deb( |$)/) keep = 1; l[i] = "Types: deb-src" }
          if (l[i] ~ /^Enabled:[[:space:]]*[Nn]o/) off = 1
          out = out l[i] "\n"
        }
        if (keep && !off) printf "%s\n", out }' >> "$tmp"
  done
  if [ -f /etc/apt/sources.list ]; then
    local lines
    lines=$(grep -E '^[[:space:]]*deb[[:space:]]' /etc/apt/sources.list | sed -E 's/^[[:space:]]*deb[[:space:]]/deb-src /' || true)
    if [ -n "$lines" ]; then
      echo "$lines" | $SUDO tee /etc/apt/sources.list.d/vistrel-deb-src.list >/dev/null
    fi
  fi
  if [ -s "$tmp" ]; then
    $SUDO cp "$tmp" "$list"
  fi
  rm -f "$tmp"
  $SUDO apt-get update -q
}

# Downloads and unpacks (dpkg-source -x, patches applied) the newest version
# that can be had; older versions listed by apt-cache showsrc are the fallback.
fetch_source() {
  local pkg=$1
  local dir
  dir=$(find "$cache/src" -maxdepth 1 -type d -name "$2-*" | head -n 1)
  if [ -n "$dir" ] && [ -f "$dir/.unpacked" ]; then
    echo "$dir"
    return
  fi
  local versions v
  versions=$(apt-cache showsrc "$pkg" | awk '/^Version:/{print $2}' | sort -V -r -u)
  for v in $versions; do
    rm -rf "$cache/dl" && mkdir -p "$cache/dl"
    if (cd "$cache/dl" && apt-get source -q --download-only "$pkg=$v" >&2); then
      local dsc
      dsc=$(ls "$cache/dl"/*.dsc | head -n 1)
      (cd "$cache/src" && dpkg-source --no-check -x "$dsc" >&2)
      dir=$(find "$cache/src" -maxdepth 1 -type d -name "$2-*" | head -n 1)
      touch "$dir/.unpacked"
      echo "$dir"
      return
    fi
    echo "warning: $pkg $v could not be downloaded, trying an older version" >&2
  done
  echo "error: no version of $pkg could be downloaded" >&2
  return 1
}

ensure_deb_src

jpeg_src=$(fetch_source libjpeg-turbo libjpeg-turbo)
png_src=$(fetch_source libpng1.6 libpng1.6)
gif_src=$(fetch_source giflib giflib)

common=(
  -DCMAKE_TOOLCHAIN_FILE="$toolchain"
  -DCMAKE_BUILD_TYPE=Release
  -DCMAKE_INSTALL_PREFIX="$prefix"
  -DCMAKE_C_FLAGS_RELEASE="-O2 -DNDEBUG"
)

echo "== libjpeg-turbo ($jpeg_src)"
rm -rf "$cache/build/jpeg"
cmake -S "$jpeg_src" -B "$cache/build/jpeg" "${common[@]}" \
  -DENABLE_SHARED=OFF -DENABLE_STATIC=ON -DWITH_SIMD=ON -DREQUIRE_SIMD=ON \
  -DWITH_TURBOJPEG=OFF -DWITH_JPEG8=OFF -DCMAKE_ASM_NASM_COMPILER=nasm >/dev/null
cmake --build "$cache/build/jpeg" -j "$jobs" >/dev/null
cmake --install "$cache/build/jpeg" >/dev/null

echo "== libpng ($png_src)"
rm -rf "$cache/build/png"
cmake -S "$png_src" -B "$cache/build/png" "${common[@]}" \
  -DPNG_SHARED=OFF -DPNG_STATIC=ON -DPNG_TESTS=OFF -DPNG_EXECUTABLES=OFF \
  -DZLIB_USE_STATIC_LIBS=ON -DSKIP_INSTALL_PROGRAMS=ON -DSKIP_INSTALL_EXECUTABLES=ON >/dev/null
cmake --build "$cache/build/png" -j "$jobs" >/dev/null
cmake --install "$cache/build/png" >/dev/null

echo "== giflib ($gif_src)"
rm -rf "$cache/build/gif" && mkdir -p "$cache/build/gif"
cc=$(command -v x86_64-w64-mingw32-gcc-posix || command -v x86_64-w64-mingw32-gcc)
for f in dgif_lib egif_lib gifalloc gif_err gif_font gif_hash openbsd-reallocarray quantize; do
  [ -f "$gif_src/$f.c" ] || continue
  "$cc" -O2 -DNDEBUG -std=gnu99 -Wall -c "$gif_src/$f.c" -I"$gif_src" -o "$cache/build/gif/$f.o"
done
rm -f "$prefix/lib/libgif.a"
x86_64-w64-mingw32-ar rcs "$prefix/lib/libgif.a" "$cache/build/gif"/*.o
cp "$gif_src/gif_lib.h" "$prefix/include/"

{
  echo "libjpeg-turbo $(basename "$jpeg_src")"
  echo "libpng $(basename "$png_src")"
  echo "giflib $(basename "$gif_src")"
} > "$prefix/versions.txt"
touch "$stamp"
echo "third-party libraries ready in $prefix"
