// Thousands of damaged variants of the test pictures (bytes changed, sizes
// overwritten, files cut short) go through the real decoders: each must
// decode or give null, and never crash, hang or read out of bounds. On the
// host the portable decoders run under the sanitizers; on Windows every
// decoder runs from a file, as the program calls it.
#include <gif_lib.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "imagefiles/gif_decoding.h"
#include "imagefiles/gif_memory_source.h"
#include "imagefiles/jpeg_file.h"
#include "imagefiles/png_file.h"
#include "raster/memory_bitmap.h"

#ifdef _WIN32
#include <windows.h>

#include "imagefiles/bmp_file.h"
#include "imagefiles/gif_file.h"
#include "imagefiles/gif_frame_reader.h"
#include "imagefiles/ico_file.h"
#endif

namespace {

typedef std::vector<unsigned char> Bytes;

Bytes ReadPicture(const char* name) {
  Bytes bytes;
  std::string path = std::string(VISTREL_TEST_PICTURES) + "/" + name;
  FILE* file = fopen(path.c_str(), "rb");
  if (!file) return bytes;
  unsigned char chunk[4096];
  size_t n;
  while ((n = fread(chunk, 1, sizeof chunk, file)) > 0) bytes.insert(bytes.end(), chunk, chunk + n);
  fclose(file);
  return bytes;
}

// A fixed sequence, so that a failure is repeatable.
struct Random {
  uint64_t state;
  uint32_t Next() {
    state ^= state << 13;
    state ^= state >> 7;
    state ^= state << 17;
    return static_cast<uint32_t>(state >> 11);
  }
  size_t Below(size_t n) { return n ? Next() % n : 0; }
};

uint32_t Crc32(const unsigned char* data, size_t length) {
  uint32_t crc = 0xFFFFFFFFu;
  for (size_t i = 0; i < length; ++i) {
    crc ^= data[i];
    for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1)));
  }
  return ~crc;
}

// Makes every PNG chunk's CRC right again, so that damage inside a chunk
// reaches the decoder instead of failing the check.
void FixPngCrcs(Bytes* bytes) {
  size_t at = 8;
  while (at + 12 <= bytes->size()) {
    unsigned char* p = bytes->data() + at;
    size_t length = uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
    if (length > bytes->size() - at - 12) break;
    uint32_t crc = Crc32(p + 4, length + 4);
    unsigned char* out = p + 8 + length;
    out[0] = crc >> 24;
    out[1] = crc >> 16 & 255;
    out[2] = crc >> 8 & 255;
    out[3] = crc & 255;
    at += length + 12;
  }
}

Bytes Mutate(const Bytes& original, Random* random, bool png) {
  Bytes bytes = original;
  switch (random->Below(4)) {
    case 0:  // cut short
      bytes.resize(random->Below(bytes.size()));
      break;
    case 1: {  // a few bytes changed
      int count = 1 + static_cast<int>(random->Below(4));
      for (int i = 0; i < count && !bytes.empty(); ++i) bytes[random->Below(bytes.size())] = random->Next() & 255;
      break;
    }
    case 2:  // a 16-bit field made as large as it goes (sizes, lengths)
      if (bytes.size() >= 2) {
        size_t at = random->Below(bytes.size() - 1);
        bytes[at] = 0xFF;
        bytes[at + 1] = 0xFF;
      }
      break;
    default: {  // a stretch of bytes overwritten with copies from elsewhere
      if (bytes.size() < 8) break;
      size_t from = random->Below(bytes.size()), to = random->Below(bytes.size());
      size_t n = 1 + random->Below(16);
      for (size_t i = 0; i < n && from + i < bytes.size() && to + i < bytes.size(); ++i) bytes[to + i] = bytes[from + i];
      break;
    }
  }
  if (png && (random->Next() & 1)) FixPngCrcs(&bytes);
  return bytes;
}

enum Kind { JPEG, PNG, GIF, BMP, ICO };

// The result must be null or a whole bitmap whose every pixel can be read.
void CheckResult(Bitmap* bitmap) {
  if (!bitmap) return;
  ASSERT_GT(bitmap->Width(), 0);
  ASSERT_GT(bitmap->Height(), 0);
  ASSERT_NE(bitmap->Bits(), nullptr);
  uint32_t sum = 0;
  for (int y = 0; y < bitmap->Height(); ++y)
    for (int x = 0; x < bitmap->Width(); ++x) sum += bitmap->Bits()[y * bitmap->RowSpan() + x];
  (void)sum;
  delete bitmap;
}

#ifdef _WIN32

std::string TempPath(const char* extension) {
  char folder[MAX_PATH];
  GetTempPathA(MAX_PATH, folder);
  return std::string(folder) + "vistrel_robustness_" + std::to_string(GetCurrentProcessId()) + extension;
}

void Decode(Kind kind, const Bytes& bytes) {
  static const char* extensions[] = {".jpg", ".png", ".gif", ".bmp", ".ico"};
  std::string path = TempPath(extensions[kind]);
  FILE* file = fopen(path.c_str(), "wb");
  ASSERT_NE(file, nullptr);
  if (!bytes.empty()) fwrite(bytes.data(), 1, bytes.size(), file);
  fclose(file);
  switch (kind) {
    case JPEG: CheckResult(LoadJpegFile(path.c_str())); break;
    case PNG: CheckResult(LoadPngFile(path.c_str())); break;
    case BMP: CheckResult(LoadBmpFile(path.c_str())); break;
    case ICO: CheckResult(LoadIcoFile(path.c_str())); break;
    case GIF: {
      CheckResult(LoadGifFile(path.c_str()));
      GifFrameReader* reader = OpenGifFrameReader(path.c_str());
      if (reader) {
        MemoryBitmap frame;
        // Two passes through the animation, with a rewind between.
        for (int pass = 0; pass < 2; ++pass) {
          for (int i = 0; i < 1000 && ReadNextGifFrame(reader, &frame) >= 0; ++i) {
          }
          RewindGifFrameReader(reader);
        }
        CloseGifFrameReader(reader);
      }
      break;
    }
  }
  DeleteFileA(path.c_str());
}

#else

void Decode(Kind kind, const Bytes& bytes) {
  if (kind == JPEG || kind == PNG) {
    // fmemopen refuses a size of 0: an empty file stands in for it.
    FILE* file = bytes.empty() ? tmpfile() : fmemopen(const_cast<unsigned char*>(bytes.data()), bytes.size(), "rb");
    ASSERT_NE(file, nullptr);
    CheckResult(kind == JPEG ? DecodeJpegStream(file, nullptr) : DecodePngStream(file, nullptr));
    fclose(file);
  } else if (kind == GIF) {
    GifMemorySource source = {bytes.data(), bytes.size(), 0, {}};
    int error = 0;
    GifFileType* gif = OpenGifFromMemory(&source);
    if (gif) {
      CheckResult(DecodeGifImages(gif, nullptr));
      DGifCloseFile(gif, &error);
    }
    source.position = 0;
    gif = OpenGifFromMemory(&source);
    if (gif) {
      size_t rewind = source.position;
      MemoryBitmap frame;
      frame.Resize(gif->SWidth, gif->SHeight);
      Bitmap* target = frame.Width() == gif->SWidth && frame.Height() == gif->SHeight ? &frame : nullptr;
      // Frames a few lines at a time, as the viewer draws them.
      GifFrameDrawing drawing = {};
      for (int pass = 0; pass < 2; ++pass) {
        int32_t state = 0, elapsed = 0;
        bool done = false;
        int64_t work = 0;
        for (int i = 0; i < 100000; ++i) {
          if (StepGifFrameWork(gif, target, &state, &elapsed, nullptr, &drawing, 4096, &work, &done) < 0 && done) break;
        }
        ResetGifFrameDrawing(&drawing);
        source.position = rewind;
      }
      DGifCloseFile(gif, &error);
    }
  }
}

#endif

void RunVariants(Kind kind, const char* const* seeds, int seed_count, int variants_per_seed, uint64_t start) {
  Random random = {start};
  for (int s = 0; s < seed_count; ++s) {
    Bytes original = ReadPicture(seeds[s]);
    ASSERT_FALSE(original.empty()) << seeds[s];
    Decode(kind, original);
    for (int i = 0; i < variants_per_seed; ++i) {
      Bytes variant = Mutate(original, &random, kind == PNG);
      SCOPED_TRACE(std::string(seeds[s]) + " variant " + std::to_string(i));
      // A crash ends the process before any report: name the variant first.
      if (getenv("TRACE_VARIANTS")) fprintf(stderr, "%s %d\n", seeds[s], i);
      Decode(kind, variant);
      if (::testing::Test::HasFatalFailure()) return;
    }
  }
}

}  // namespace

TEST(DecoderRobustnessTest, Jpeg) {
  const char* seeds[] = {"photo.jpg", "grey.jpg", "progressive.jpg", "cmyk_white.jpg"};
  RunVariants(JPEG, seeds, 4, 300, 0x1234567);
}

TEST(DecoderRobustnessTest, Png) {
  const char* seeds[] = {"rgba8.png", "palette_trns.png", "twin_13x11_interlaced.png", "rgba16.png", "grey1.png"};
  RunVariants(PNG, seeds, 5, 200, 0x2345678);
}

TEST(DecoderRobustnessTest, Gif) {
  const char* seeds[] = {"seed.gif", "animation.gif", "offset.gif", "twin_5x9_interlaced.gif"};
  RunVariants(GIF, seeds, 4, 250, 0x3456789);
}

#ifdef _WIN32
TEST(DecoderRobustnessTest, BmpAndIco) {
  const char* bmp_seeds[] = {"rgb24.bmp", "rle8.bmp", "rgba32.bmp"};
  RunVariants(BMP, bmp_seeds, 3, 150, 0x4567891);
  const char* ico_seeds[] = {"mask.ico", "half.ico"};
  RunVariants(ICO, ico_seeds, 2, 150, 0x5678901);
}
#endif
