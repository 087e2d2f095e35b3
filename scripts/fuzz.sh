#!/usr/bin/env bash
# Runs one fuzz target for a long campaign: scripts/fuzz.sh TARGET MINUTES
# (targets: jpeg_fuzzer png_fuzzer gif_fuzzer gif_frame_fuzzer
# loader_guard_fuzzer bmp_fuzzer picture_header_fuzzer exif_orientation_fuzzer; the text viewer's
# text_view_fuzzer changelog_load_fuzzer glyph_text_fuzzer). The corpus grows
# in build/fuzz/fuzz/corpus/TARGET;
# an input that fails is written to fuzz/reproducers/TARGET/, where the
# suite replays it from then on (commit it with the mend).
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
target=${1:?usage: scripts/fuzz.sh TARGET MINUTES}
minutes=${2:?usage: scripts/fuzz.sh TARGET MINUTES}
fuzz="$root/build/fuzz${VISTREL_BUILD_SUFFIX:-}"

if [ ! -x "$fuzz/fuzz/$target" ]; then
  CC=clang CXX=clang++ cmake -S "$root" -B "$fuzz" --no-warn-unused-cli \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVISTREL_FUZZ=ON >/dev/null
  cmake --build "$fuzz" -j 2 --target "$target"
fi

mkdir -p "$fuzz/fuzz/corpus/$target" "$root/fuzz/reproducers/$target"
# As in the suite (fuzz/CMakeLists.txt): one allocation above 256 MB is a
# finding, except for libjpeg's coefficients.
malloc_mb=256
if [ "$target" = jpeg_fuzzer ]; then malloc_mb=2560; fi
# Seeds: committed, or made at build time (bmp_fuzzer).
seeds="$root/fuzz/corpus/$target"
if [ ! -d "$seeds" ]; then seeds="$fuzz/fuzz/seeds/$target"; fi
# One process, one core: the machine is shared.
exec "$fuzz/fuzz/$target" \
  -max_total_time=$((minutes * 60)) -print_final_stats=1 \
  -rss_limit_mb=4096 -malloc_limit_mb=$malloc_mb -timeout=10 \
  -artifact_prefix="$root/fuzz/reproducers/$target/" \
  "$fuzz/fuzz/corpus/$target" "$seeds"
