#!/usr/bin/env bash
# Writes resources/license.txt: Vistrel's own MIT license followed by the
# license notices of the libraries linked into vistrel.exe, taken from the
# copyright files of Debian's packages of them (the third-party cache must
# exist: scripts/build-third-party.sh).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
src="$root/.cache/third-party/src"
out="$root/resources/license.txt"

section() {
  local title=$1 file=$2
  printf '\r\n'
  printf '%s\r\n' "================================================================================"
  printf '%s\r\n' "$title"
  printf '%s\r\n' "(from the copyright file of Debian's package)"
  printf '%s\r\n' "================================================================================"
  printf '\r\n'
  sed 's/$/\r/' "$file"
}

{
  sed 's/$/\r/' <<'MIT'
Vistrel
Copyright (c) The Vistrel developers

MIT License

Permission is hereby granted, free of charge, to any person obtaining a copy
of this software and associated documentation files (the "Software"), to deal
in the Software without restriction, including without limitation the rights
to use, copy, modify, merge, publish, distribute, sublicense, and/or sell
copies of the Software, and to permit persons to whom the Software is
furnished to do so, subject to the following conditions:

The above copyright notice and this permission notice shall be included in all
copies or substantial portions of the Software.

THE SOFTWARE IS PROVIDED "AS IS", WITHOUT WARRANTY OF ANY KIND, EXPRESS OR
IMPLIED, INCLUDING BUT NOT LIMITED TO THE WARRANTIES OF MERCHANTABILITY,
FITNESS FOR A PARTICULAR PURPOSE AND NONINFRINGEMENT. IN NO EVENT SHALL THE
AUTHORS OR COPYRIGHT HOLDERS BE LIABLE FOR ANY CLAIM, DAMAGES OR OTHER
LIABILITY, WHETHER IN AN ACTION OF CONTRACT, TORT OR OTHERWISE, ARISING FROM,
OUT OF OR IN CONNECTION WITH THE SOFTWARE OR THE USE OR OTHER DEALINGS IN THE
SOFTWARE.


Vistrel includes the following libraries, each under its own license:
libjpeg-turbo, libpng, giflib and zlib.
MIT
  section "libjpeg-turbo" "$(ls -d "$src"/libjpeg-turbo-*/debian/copyright | head -n 1)"
  section "libpng" "$(ls -d "$src"/libpng1.6-*/debian/copyright | head -n 1)"
  section "giflib" "$(ls -d "$src"/giflib-*/debian/copyright | head -n 1)"
  section "zlib" /usr/share/doc/libz-mingw-w64-dev/copyright
} > "$out"
echo "wrote $out"
