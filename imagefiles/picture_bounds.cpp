#include "imagefiles/picture_bounds.h"

#include <jpeglib.h>

namespace {

// Products of header fields saturate here, far above any file.
const int64_t TOO_LARGE = INT64_MAX / 4;

int64_t Multiply(int64_t a, int64_t b) {
  if (a != 0 && b > TOO_LARGE / a) return TOO_LARGE;
  return a * b;
}

// Bytes of the filtered rows of a width x height image (or interlace pass):
// each row a filter byte and its packed samples.
int64_t FilteredBytes(int64_t width, int64_t height, int64_t bits_per_pixel) {
  if (width <= 0 || height <= 0) return 0;
  return Multiply(height, 1 + (Multiply(width, bits_per_pixel) + 7) / 8);
}

int PngChannels(int colour_type) {
  switch (colour_type) {
    case 2: return 3;  // RGB
    case 4: return 2;  // grey and alpha
    case 6: return 4;  // RGBA
    default: return 1; // grey, palette
  }
}

}  // namespace

int64_t FilePosition(FILE* file) {
  if (!file) return -1;
#ifdef _WIN32
  return _ftelli64(file);
#else
  return ftello(file);
#endif
}

int64_t FileBytesLeft(FILE* file) {
  if (!file) return INT64_MAX;
#ifdef _WIN32
  int64_t at = _ftelli64(file);
  if (at < 0 || _fseeki64(file, 0, SEEK_END) != 0) return INT64_MAX;
  int64_t end = _ftelli64(file);
  if (_fseeki64(file, at, SEEK_SET) != 0) return INT64_MAX;
#else
  int64_t at = ftello(file);
  if (at < 0 || fseeko(file, 0, SEEK_END) != 0) return INT64_MAX;
  int64_t end = ftello(file);
  if (fseeko(file, at, SEEK_SET) != 0) return INT64_MAX;
#endif
  return end >= at ? end - at : INT64_MAX;
}

// JPEG. Huffman codes are 1 to 16 bits long. A sequential scan codes every
// block's DC difference and then its AC coefficients up to an end-of-block
// code; the first DC scan of a progressive file codes every block's DC
// difference. Every block of every component passes through one of these,
// so a whole frame takes at least one bit per block: blocks / 8 bytes, with
// the file's markers and tables on top. (AC scans of a progressive file can
// cover 32767 blocks with one end-of-band run: nothing is counted for them.)
int64_t JpegLeastBytes(int64_t blocks) { return (blocks + 7) / 8; }

bool JpegFitsFile(const jpeg_decompress_struct* cinfo, int64_t file_bytes) {
  // The arithmetic coder can code a block's few decisions in a small
  // fraction of a bit: its files get no useful bound and take the cap.
  if (cinfo->arith_code) return UnbackedPictureFits(cinfo->image_width, cinfo->image_height);
  int64_t blocks = 0;
  for (int i = 0; i < cinfo->num_components; ++i)
    blocks += int64_t(cinfo->comp_info[i].width_in_blocks) * cinfo->comp_info[i].height_in_blocks;
  return JpegLeastBytes(blocks) <= file_bytes;
}

// PNG. The filtered rows pass through deflate, whose codes are at least one
// bit long. Its longest match, 258 bytes, takes a length code and a distance
// code: two bits. One byte of compressed data thus stands for at most 1032
// bytes of rows (as-is or 1-bit literals do far worse). Around it: the
// signature (8), the IHDR chunk (25), one IDAT chunk's length, type and CRC
// (12), the zlib header and checksum (6).
int64_t PngLeastBytes(int64_t width, int64_t height, int bit_depth, int colour_type, bool interlaced) {
  int64_t bits = int64_t(PngChannels(colour_type)) * (bit_depth > 0 ? bit_depth : 1);
  int64_t rows = 0;
  if (!interlaced) {
    rows = FilteredBytes(width, height, bits);
  } else {
    // Adam7: seven passes, each a small image of its own rows.
    static const int x0[7] = {0, 4, 0, 2, 0, 1, 0}, dx[7] = {8, 8, 4, 4, 2, 2, 1};
    static const int y0[7] = {0, 0, 4, 0, 2, 0, 1}, dy[7] = {8, 8, 8, 4, 4, 2, 2};
    for (int pass = 0; pass < 7; ++pass) {
      int64_t columns = width > x0[pass] ? (width - x0[pass] + dx[pass] - 1) / dx[pass] : 0;
      int64_t lines = height > y0[pass] ? (height - y0[pass] + dy[pass] - 1) / dy[pass] : 0;
      rows += FilteredBytes(columns, lines, bits);  // each at most TOO_LARGE: no overflow
      if (rows > TOO_LARGE) rows = TOO_LARGE;
    }
  }
  return 8 + 25 + 12 + 6 + (rows + 1031) / 1032;
}

// GIF. With codes of w bits the LZW table holds fewer than 2^w entries, and
// each entry is one pixel longer at most than an earlier one: a w-bit code
// stands for at most 2^w pixels. Codes are at most 12 bits, and 2^w / w is
// largest there: a bit of image data gives at most 4096 / 12 pixels, a byte
// 8192 / 3.
bool GifImageFitsFile(int64_t pixels, int64_t file_bytes) {
  if (file_bytes >= TOO_LARGE / 8192) return true;
  if (pixels > TOO_LARGE / 3) return false;
  return pixels * 3 <= file_bytes * 8192;
}

namespace {

// The length of [start, start + length) within [0, limit).
int64_t Overlap(int64_t start, int64_t length, int64_t limit) {
  int64_t from = start > 0 ? start : 0;
  int64_t to = start + length < limit ? start + length : limit;
  return to > from ? to - from : 0;
}

}  // namespace

bool GifScreenFitsFile(int screen_width, int screen_height, int left, int top, int width, int height,
                       int64_t file_bytes) {
  int64_t shown = Overlap(left, width, screen_width) * Overlap(top, height, screen_height);
  return UnbackedPictureFits(screen_width, screen_height) && GifImageFitsFile(shown, file_bytes);
}

bool UnbackedPictureFits(int64_t width, int64_t height) {
  return width >= 0 && height >= 0 && Multiply(width, height) <= MAX_UNBACKED_PIXELS;
}
