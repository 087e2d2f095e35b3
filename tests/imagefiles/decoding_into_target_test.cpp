// Decoding into the memory of a picture no longer shown, and the JPEG and
// PNG decodings step by step: all must give exactly the pixels of a plain
// decode into a new bitmap, whatever the target held before, with no step
// above its work, and fail as the plain decode fails. Also the size read
// from a picture's header.
#include <gtest/gtest.h>

#include <climits>
#include <csetjmp>
#include <cstdint>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include <jpeglib.h>

#include "imagefiles/bmp_decoding.h"
#include "imagefiles/jpeg_file.h"
#include "imagefiles/picture_header.h"
#include "imagefiles/png_file.h"
#include "imagefiles/picture_decoding.h"
#include "raster/memory_bitmap.h"

#ifdef _WIN32
#include "imagefiles/bmp_file.h"
#include "imagefiles/gif_file.h"
#include "imagefiles/gif_frame_reader.h"
#include "imagefiles/ico_file.h"
#endif

namespace {

std::string Picture(const char* name) { return std::string(VISTREL_TEST_PICTURES) + "/" + name; }

typedef Bitmap* (*Decoder)(const char* path, Bitmap* target);

// A target that held another, larger picture: every byte set, so that a
// pixel the decoder leaves unwritten shows.
MemoryBitmap* DirtyTarget(int width, int height) {
  MemoryBitmap* target = new MemoryBitmap(width, height);
  for (int i = 0; i < target->RowSpan() * target->Height(); ++i) target->Bits()[i] = 0x5A3C96E1u + i;
  return target;
}

// Pixels of the visible area only: the row padding is not part of a picture.
void ExpectSamePixels(Bitmap* expected, Bitmap* actual, const std::string& what) {
  ASSERT_NE(expected, nullptr) << what;
  ASSERT_NE(actual, nullptr) << what;
  ASSERT_EQ(expected->Width(), actual->Width()) << what;
  ASSERT_EQ(expected->Height(), actual->Height()) << what;
  int differences = 0;
  for (int y = 0; y < expected->Height(); ++y) {
    for (int x = 0; x < expected->Width(); ++x) {
      if (expected->Bits()[y * expected->RowSpan() + x] != actual->Bits()[y * actual->RowSpan() + x]) {
        ++differences;
      }
    }
  }
  EXPECT_EQ(differences, 0) << what;
}

void ExpectTargetDecodesAlike(Decoder decode, const char* name) {
  Bitmap* plain = decode(Picture(name).c_str(), nullptr);
  ASSERT_NE(plain, nullptr) << name;
  // A larger picture, the same size, and a smaller one that has to grow.
  const int sizes[3][2] = {{plain->Width() + 37, plain->Height() + 11},
                           {plain->Width(), plain->Height()},
                           {3, 2}};
  for (const auto& size : sizes) {
    MemoryBitmap* target = DirtyTarget(size[0], size[1]);
    EXPECT_EQ(decode(Picture(name).c_str(), target), target) << name;
    ExpectSamePixels(plain, target, std::string(name) + " into " + std::to_string(size[0]) + " x " +
                                        std::to_string(size[1]));
    delete target;
  }
  delete plain;
}

const char* const JPEGS[] = {"photo.jpg",        "photo444.jpg",          "grey.jpg",
                             "progressive.jpg",  "truncated.jpg",         "cmyk_white.jpg",
                             "cmyk_black.jpg",   "progressive_large.jpg", "progressive_grey.jpg",
                             "progressive_cmyk.jpg", "progressive_truncated.jpg"};

const char* const PNGS[] = {"rgba16.png", "palette_trns.png", "grey1.png", "grey8_trns.png",
                            "twin_13x11_interlaced.png", "twin_1x1_interlaced.png", "twin_3x5_interlaced.png",
                            "rgba8.png", "sliced_rgb.png", "sliced_grey_alpha8.png",
                            "sliced_grey_alpha16_interlaced.png", "sliced_rgba16_interlaced.png",
                            "sliced_palette_interlaced.png", "sliced_grey2_interlaced.png"};

}  // namespace

TEST(DecodingIntoTarget, EveryKindGivesThePixelsOfAPlainDecode) {
  for (const char* name : JPEGS) ExpectTargetDecodesAlike(LoadJpegFile, name);
  for (const char* name : PNGS) ExpectTargetDecodesAlike(LoadPngFile, name);
#ifdef _WIN32
  for (const char* name : {"offset.gif", "overhang.gif", "two_images.gif", "animation.gif", "twin_5x9_interlaced.gif"}) {
    ExpectTargetDecodesAlike(LoadGifFile, name);
  }
  for (const char* name : {"rgb24.bmp", "rgba32.bmp", "rle8.bmp"}) ExpectTargetDecodesAlike(LoadBmpFile, name);
  for (const char* name : {"only48.ico", "mask.ico", "half.ico"}) ExpectTargetDecodesAlike(LoadIcoFile, name);
#endif
}

TEST(DecodingIntoTarget, FailuresGiveNullWithATarget) {
  for (const char* name : {"empty.jpg", "rgba8.png", "missing.jpg"}) {
    MemoryBitmap target(20, 10);
    EXPECT_EQ(LoadJpegFile(Picture(name).c_str(), &target), nullptr) << name;
  }
  MemoryBitmap target(20, 10);
  EXPECT_EQ(LoadPngFile(Picture("bad_crc.png").c_str(), &target), nullptr);
  EXPECT_EQ(LoadPngFile(Picture("huge.png").c_str(), &target), nullptr);
}

namespace {

// libjpeg's plain decoding as the whole-file decoder was first written:
// jpeg_start_decompress reads every scan, then the rows come one by one in
// libjpeg's default colour space. The stepped decoding (buffered-image
// mode for a multi-scan file) must give exactly these pixels.
struct PlainJpeg {
  jpeg_decompress_struct cinfo;
  jpeg_error_mgr errors;
  jmp_buf recovery;
};

void PlainJpegError(j_common_ptr cinfo) { longjmp(reinterpret_cast<PlainJpeg*>(cinfo)->recovery, 1); }
void PlainJpegMessage(j_common_ptr, int) {}

Bitmap* PlainJpegDecode(const char* name) {
  FILE* file = fopen(Picture(name).c_str(), "rb");
  if (!file) return nullptr;
  static PlainJpeg plain;  // outside the frame of setjmp's caller
  static MemoryBitmap* bitmap;
  static std::vector<unsigned char> row;
  bitmap = nullptr;
  plain.cinfo.err = jpeg_std_error(&plain.errors);
  plain.errors.error_exit = PlainJpegError;
  plain.errors.emit_message = PlainJpegMessage;
  if (setjmp(plain.recovery)) {
    jpeg_destroy_decompress(&plain.cinfo);
    fclose(file);
    delete bitmap;
    return nullptr;
  }
  jpeg_create_decompress(&plain.cinfo);
  jpeg_stdio_src(&plain.cinfo, file);
  jpeg_read_header(&plain.cinfo, TRUE);
  jpeg_start_decompress(&plain.cinfo);
  int width = static_cast<int>(plain.cinfo.output_width), components = plain.cinfo.output_components;
  bitmap = new MemoryBitmap(width, static_cast<int>(plain.cinfo.output_height));
  row.resize(static_cast<size_t>(width) * components);
  while (plain.cinfo.output_scanline < plain.cinfo.output_height) {
    uint32_t* out = bitmap->Bits() + plain.cinfo.output_scanline * bitmap->RowSpan();
    JSAMPROW rows[1] = {row.data()};
    jpeg_read_scanlines(&plain.cinfo, rows, 1);
    for (int x = 0; x < width; ++x) {
      const unsigned char* p = &row[static_cast<size_t>(x) * components];
      if (components == 3) out[x] = 0xFF000000u | p[0] << 16 | p[1] << 8 | p[2];
      else if (components == 1) out[x] = 0xFF000000u | p[0] * 0x010101u;
      else out[x] = 0xFF000000u | ((p[0] * p[3] + 255) >> 8) << 16 | ((p[1] * p[3] + 255) >> 8) << 8 |
                    ((p[2] * p[3] + 255) >> 8);
    }
  }
  jpeg_finish_decompress(&plain.cinfo);
  jpeg_destroy_decompress(&plain.cinfo);
  fclose(file);
  return bitmap;
}

// Steps a decoding to its end: the result of the last step, the number of
// steps and the largest work of one step.
template <typename Decoding>
int RunSteps(Decoding* decoding, int (*step)(Decoding*), int64_t (*work)(const Decoding*), int* steps,
             int64_t* largest) {
  int result = 0;
  *steps = 0;
  *largest = 0;
  while ((result = step(decoding)) == 0) {
    ++*steps;
    if (work(decoding) > *largest) *largest = work(decoding);
  }
  ++*steps;
  if (work(decoding) > *largest) *largest = work(decoding);
  return result;
}

}  // namespace

TEST(JpegDecoding, StepsGiveThePixelsOfThePlainDecoding) {
  // The multi-scan files among them (progressive, truncated progressive,
  // whose missing coefficients take libjpeg's block smoothing) go through
  // libjpeg's buffered-image mode.
  for (const char* name : JPEGS) {
    Bitmap* plain = PlainJpegDecode(name);
    ASSERT_NE(plain, nullptr) << name;
    MemoryBitmap* target = DirtyTarget(plain->Width() + 5, plain->Height() + 3);
    FILE* file = fopen(Picture(name).c_str(), "rb");
    JpegDecoding* decoding = StartJpegDecoding(file, true, INT64_MAX);
    ASSERT_NE(decoding, nullptr) << name;
    EXPECT_EQ(JpegHasMultipleScans(decoding), std::string(name).find("progressive") != std::string::npos) << name;
    SetJpegDecodingTarget(decoding, target, false);
    int steps = 0;
    int64_t largest = 0;
    EXPECT_EQ(RunSteps(decoding, StepJpegDecoding, JpegLastStepWork, &steps, &largest), 1) << name;
    EXPECT_LE(largest, PICTURE_STEP_PIXELS) << name;
    // Further steps keep saying complete.
    EXPECT_EQ(StepJpegDecoding(decoding), 1);
    EXPECT_EQ(TakeJpegPicture(decoding), target) << name;
    ExpectSamePixels(plain, target, name);
    delete target;
    delete plain;
  }
}

TEST(JpegDecoding, AbandoningAndRefusingReleaseEverything) {
  // Abandoned before, amid and after the scans, with an owned target or a
  // bitmap made by the decoding (the leak checker of the sanitizer build
  // watches).
  for (int stop : {0, 1, 3, 1000000}) {
    FILE* file = fopen(Picture("progressive_large.jpg").c_str(), "rb");
    JpegDecoding* decoding = StartJpegDecoding(file, true, INT64_MAX);
    ASSERT_NE(decoding, nullptr);
    if (stop & 1) SetJpegDecodingTarget(decoding, new MemoryBitmap(3, 3), true);
    for (int i = 0; i < stop && StepJpegDecoding(decoding) == 0; ++i) {
    }
    AbandonJpegDecoding(decoding);
  }
  AbandonJpegDecoding(nullptr);
  for (const char* name : {"empty.jpg", "rgba8.png"}) {
    FILE* file = fopen(Picture(name).c_str(), "rb");
    EXPECT_EQ(StartJpegDecoding(file, true, INT64_MAX), nullptr) << name;
  }
  // photo.jpg is 67 x 45: rows of 68 pixels, 12,240 bytes, and the row
  // buffers; refused a byte below, before any target is sized.
  FILE* file = fopen(Picture("photo.jpg").c_str(), "rb");
  JpegDecoding* decoding = StartJpegDecoding(file, false, INT64_MAX);
  ASSERT_NE(decoding, nullptr);
  int64_t need = 12240 + JpegWorkingNeed(decoding);
  EXPECT_EQ(JpegWorkingNeed(decoding), JpegWorkingHeld(decoding));  // one scan: only row buffers
  AbandonJpegDecoding(decoding);
  rewind(file);
  EXPECT_EQ(StartJpegDecoding(file, false, need - 1), nullptr);
  rewind(file);
  decoding = StartJpegDecoding(file, true, need);
  ASSERT_NE(decoding, nullptr);
  AbandonJpegDecoding(decoding);
}

TEST(PngDecoding, StepsGiveThePixelsOfAPlainDecode) {
  for (const char* name : PNGS) {
    Bitmap* plain = LoadPngFile(Picture(name).c_str());
    ASSERT_NE(plain, nullptr) << name;
    MemoryBitmap* target = DirtyTarget(plain->Width() + 3, plain->Height() + 2);
    PngDecoding* decoding = StartPngDecoding(fopen(Picture(name).c_str(), "rb"), true, INT64_MAX);
    ASSERT_NE(decoding, nullptr) << name;
    SetPngDecodingTarget(decoding, target, false);
    int steps = 0;
    int64_t largest = 0;
    EXPECT_EQ(RunSteps(decoding, StepPngDecoding, PngLastStepWork, &steps, &largest), 1) << name;
    EXPECT_LE(largest, PICTURE_STEP_PIXELS) << name;
    EXPECT_EQ(StepPngDecoding(decoding), 1);
    EXPECT_EQ(TakePngPicture(decoding), target) << name;
    ExpectSamePixels(plain, target, name);
    delete target;
    delete plain;
  }
}

TEST(PngDecoding, FailsWhereThePlainDecodeFails) {
  // Cut in the middle of the image data, and a wrong checksum: no picture.
  for (const char* name : {"truncated.png", "bad_crc.png"}) {
    EXPECT_EQ(LoadPngFile(Picture(name).c_str()), nullptr) << name;
    PngDecoding* decoding = StartPngDecoding(fopen(Picture(name).c_str(), "rb"), true, INT64_MAX);
    ASSERT_NE(decoding, nullptr) << name;
    SetPngDecodingTarget(decoding, new MemoryBitmap(2, 2), true);
    int result = 0;
    while ((result = StepPngDecoding(decoding)) == 0) {
    }
    EXPECT_EQ(result, -1) << name;
    EXPECT_EQ(StepPngDecoding(decoding), -1) << name;
    EXPECT_EQ(TakePngPicture(decoding), nullptr) << name;
  }
  for (const char* name : {"empty.jpg", "huge.png", "photo.jpg"}) {
    EXPECT_EQ(StartPngDecoding(fopen(Picture(name).c_str(), "rb"), true, INT64_MAX), nullptr) << name;
  }
  // rgba8.png is 24 x 16: 1,536 bytes and the row buffers; refused a byte
  // below. Abandoning at any point releases everything.
  FILE* file = fopen(Picture("rgba8.png").c_str(), "rb");
  PngDecoding* decoding = StartPngDecoding(file, false, INT64_MAX);
  ASSERT_NE(decoding, nullptr);
  int64_t need = 1536 + PngWorkingBytes(decoding);
  AbandonPngDecoding(decoding);
  rewind(file);
  EXPECT_EQ(StartPngDecoding(file, false, need - 1), nullptr);
  rewind(file);
  decoding = StartPngDecoding(file, true, need);
  ASSERT_NE(decoding, nullptr);
  EXPECT_EQ(StepPngDecoding(decoding), 1);  // 16 rows of 24: one step
  AbandonPngDecoding(decoding);
  AbandonPngDecoding(nullptr);
}

namespace {

// A kind of BMP, made here with odd sizes so that row padding matters:
// header size (12, 40, 108 or 124), bits a pixel, compression, colours
// used, masks, and a negative height for a top-down file.
struct BmpKind {
  const char* name;
  int header, bits, width, height;
  uint32_t compression, used;
  uint32_t masks[3];
  BmpReading reading;
};

void Put(std::vector<unsigned char>* out, uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out->push_back(i < 4 ? static_cast<unsigned char>(value >> (8 * i)) : 0);
}

// The file, or with as_twin the same picture as the Windows loader of Wine
// reads it right: bottom-up and under a 40-byte header (Wine's loader leaves
// a top-down file's pixels blank and spoils entries 1 and 2 of a core colour
// table; Windows reads both as written). Pixel values run through every
// index (past the colours used too) and much of each field; padding, and 6
// bytes between the colour table and the rows, hold junk.
std::vector<unsigned char> MakeBmp(const BmpKind& k, bool as_twin) {
  bool core = k.header == 12 && !(as_twin && k.bits <= 8);
  int header = core || !as_twin ? k.header : (k.header == 12 ? 40 : k.header);
  int height = as_twin && k.height < 0 ? -k.height : k.height, rows = height < 0 ? -height : height;
  int entries = k.bits <= 8 ? (k.used ? static_cast<int>(k.used) : 1 << k.bits) : 0;
  bool masks_after = header == 40 && k.compression == 3;
  uint32_t offset = 14 + header + (masks_after ? 12 : 0) + entries * (core ? 3 : 4) + 6;
  std::vector<unsigned char> f = {'B', 'M'};
  Put(&f, 0, 4);
  Put(&f, 0, 4);
  Put(&f, offset, 4);
  Put(&f, header, 4);
  Put(&f, k.width, core ? 2 : 4);
  Put(&f, height, core ? 2 : 4);
  Put(&f, 1, 2);
  Put(&f, k.bits, 2);
  if (!core) {
    Put(&f, k.compression, 4);
    Put(&f, 0, 12);
    Put(&f, k.used, 4);
    Put(&f, 0, 4);
    for (uint32_t mask : k.masks) Put(&f, header > 40 || masks_after ? mask : 0, 4);
    f.resize(14 + header + (masks_after ? 12 : 0), 0);
  }
  for (int i = 0; i < entries; ++i) Put(&f, (i * 37 + 1) | (i * 91 + 2) << 8 | (i * 53 + 3) << 16, core ? 3 : 4);
  Put(&f, 0xA5A5A5, 6);
  for (int r = 0; r < rows; ++r) {
    int y = height < 0 ? r : rows - 1 - r;  // the same picture both ways
    uint32_t bits_so_far = 0, partial = 0;
    for (int x = 0; x < k.width; ++x) {
      uint32_t v = static_cast<uint32_t>(x * 7 + y * 3) * (k.bits <= 8 ? 1u : 0x9E3779B1u) >> (k.bits <= 8 ? 0 : 7);
      if (k.bits >= 8) {
        Put(&f, v, k.bits / 8);
        continue;
      }
      partial = partial << k.bits | (v & ((1u << k.bits) - 1));
      if ((bits_so_far += k.bits) % 8 == 0) f.push_back(static_cast<unsigned char>(partial));
    }
    if (bits_so_far % 8) f.push_back(static_cast<unsigned char>(partial << (8 - bits_so_far % 8)));
    while ((f.size() - offset) % 4) f.push_back(0x5A);
  }
  return f;
}

std::string WriteBmp(const std::string& name, const std::vector<unsigned char>& bytes) {
  std::string path = Picture(("made_" + name + ".bmp").c_str());
  FILE* file = fopen(path.c_str(), "wb");
  if (file) fwrite(bytes.data(), 1, bytes.size(), file);
  if (file) fclose(file);
  return path;
}

}  // namespace

TEST(BmpDecoding, EveryUncompressedKindGivesTheLoadersPixels) {
  const BmpKind kinds[] = {
      {"1bit", 40, 1, 13, 5, 0, 0, {}, BMP_BY_ROWS},       {"1bit_one_colour", 40, 1, 13, 5, 0, 1, {}, BMP_BY_ROWS},
      {"4bit", 40, 4, 11, 4, 0, 0, {}, BMP_BY_ROWS},       {"4bit_five_colours", 40, 4, 11, 4, 0, 5, {}, BMP_BY_ROWS},
      {"8bit", 40, 8, 7, 40, 0, 0, {}, BMP_BY_ROWS},       {"8bit_20_colours", 108, 8, 7, 3, 0, 20, {}, BMP_BY_ROWS},
      {"8bit_top_down", 40, 8, 7, -3, 0, 0, {}, BMP_BY_ROWS},
      {"16bit_555", 40, 16, 5, 3, 0, 0, {}, BMP_BY_ROWS},
      {"16bit_565", 40, 16, 5, 3, 3, 0, {0xF800, 0x7E0, 0x1F}, BMP_BY_ROWS},
      {"16bit_444_v4", 108, 16, 33, 9, 3, 0, {0xF00, 0xF0, 0xF}, BMP_BY_ROWS},
      {"16bit_1_15_none", 40, 16, 33, 9, 3, 0, {0x8000, 0x7FFF, 0}, BMP_BY_ROWS},
      {"24bit", 40, 24, 5, 3, 0, 0, {}, BMP_BY_ROWS},      {"24bit_top_down", 124, 24, 5, -3, 0, 0, {}, BMP_BY_ROWS},
      {"32bit", 40, 32, 5, 3, 0, 0, {}, BMP_BY_ROWS},
      {"32bit_fields", 40, 32, 5, 3, 3, 0, {0xFF0000, 0xFF00, 0xFF}, BMP_BY_ROWS},
      {"32bit_10_10_10_v5", 124, 32, 9, 7, 3, 0, {0x3FF00000, 0xFFC00, 0x3FF}, BMP_BY_ROWS},
      {"32bit_3_2_27_top_down", 124, 32, 9, -7, 3, 0, {0xE0000000, 0x18000000, 0x7FFFFFF}, BMP_BY_ROWS},
      {"core_1bit", 12, 1, 9, 2, 0, 0, {}, BMP_BY_ROWS},   {"core_4bit", 12, 4, 7, 3, 0, 0, {}, BMP_BY_ROWS},
      {"core_8bit", 12, 8, 5, 3, 0, 0, {}, BMP_BY_ROWS},   {"core_16bit", 12, 16, 5, 3, 0, 0, {}, BMP_BY_ROWS},
      {"core_24bit", 12, 24, 5, 3, 0, 0, {}, BMP_BY_ROWS},
      // Left to the loader: run lengths, fields split in pieces or on 24
      // bits, 2 bits a pixel, a 52-byte header.
      {"rle8", 40, 8, 7, 3, 1, 0, {}, BMP_BY_LOADER},
      {"16bit_split_mask", 40, 16, 5, 3, 3, 0, {0x5555, 0xAAAA, 0}, BMP_BY_LOADER},
      {"24bit_fields", 40, 24, 5, 3, 3, 0, {0xFF0000, 0xFF00, 0xFF}, BMP_BY_LOADER},
      {"2bit", 40, 2, 5, 3, 0, 0, {}, BMP_BY_LOADER},      {"header52", 52, 24, 5, 3, 0, 0, {}, BMP_BY_LOADER},
  };
  for (const BmpKind& kind : kinds) {
    std::vector<unsigned char> bytes = MakeBmp(kind, false);
    std::string path = WriteBmp(kind.name, bytes);
    BmpReading reading = BMP_REFUSED;
    BmpDecoding* decoding = StartBmpDecoding(fopen(path.c_str(), "rb"), true, INT64_MAX, &reading);
    EXPECT_EQ(reading, kind.reading) << kind.name;
    if (!decoding) continue;
    MemoryBitmap* target = DirtyTarget(kind.width + 3, 2);
    SetBmpDecodingTarget(decoding, target, false);
    int steps = 0;
    int64_t largest = 0;
    EXPECT_EQ(RunSteps(decoding, StepBmpDecoding, BmpLastStepWork, &steps, &largest), 1) << kind.name;
    EXPECT_LE(largest, PICTURE_STEP_PIXELS) << kind.name;
    EXPECT_EQ(TakeBmpPicture(decoding), target) << kind.name;
#ifdef _WIN32
    bool twin = kind.height < 0 || (kind.header == 12 && kind.bits <= 8);
    Bitmap* loaded = LoadBmpFile(twin ? WriteBmp(std::string(kind.name) + "_twin", MakeBmp(kind, true)).c_str() : path.c_str());
    ExpectSamePixels(loaded, target, kind.name);
    delete loaded;
#endif
    delete target;
    // Cut short: refused, as the loader refuses it.
    bytes.resize(bytes.size() - 3);
    std::string cut = WriteBmp(std::string(kind.name) + "_cut", bytes);
    EXPECT_EQ(StartBmpDecoding(fopen(cut.c_str(), "rb"), true, INT64_MAX, &reading), nullptr) << kind.name;
    EXPECT_EQ(reading, BMP_REFUSED) << kind.name;
#ifdef _WIN32
    EXPECT_EQ(LoadBmpFile(cut.c_str()), nullptr) << kind.name;
#endif
  }
#ifdef _WIN32
  // 6 MP: read by rows, it is prepared; left to the loader (run lengths
  // ending the picture at once), only decoded when asked for.
  BmpKind large = {"large", 40, 8, 3000, 2000, 0, 0, {}, BMP_BY_ROWS};
  std::vector<unsigned char> bytes = MakeBmp(large, false);
  PictureDecoding* prepared = StartPictureDecoding(WriteBmp("large", bytes).c_str(), int64_t(1) << 40);
  EXPECT_NE(prepared, nullptr);
  AbandonPictureDecoding(prepared);
  bytes[30] = 1;
  bytes.resize(bytes.size() - 3000 * 2000 + 2);
  bytes[bytes.size() - 2] = 0;
  bytes[bytes.size() - 1] = 1;
  std::string rle = WriteBmp("large_rle", bytes);
  EXPECT_EQ(StartPictureDecoding(rle.c_str(), int64_t(1) << 40), nullptr);
  Bitmap* shown = DecodePictureFile(rle.c_str(), nullptr, nullptr);
  ASSERT_NE(shown, nullptr);
  EXPECT_EQ(shown->Width(), 3000);
  delete shown;
#endif
}

#ifdef _WIN32
TEST(PictureDecoding, EveryKindStepsToThePictureItsDecoderGives) {
  // Through the one way in, with and without a block given: the picture of
  // the file's decoder (a GIF's first frame as its frame reader draws it),
  // never more held than the need told at the start, and refused a byte
  // below that need.
  std::vector<std::pair<std::string, Decoder>> files;
  for (const char* name : JPEGS) files.emplace_back(name, LoadJpegFile);
  for (const char* name : PNGS) files.emplace_back(name, LoadPngFile);
  for (const char* name : {"rgb24.bmp", "rle8.bmp"}) files.emplace_back(name, LoadBmpFile);
  for (const char* name : {"only48.ico", "half.ico"}) files.emplace_back(name, LoadIcoFile);
  for (const char* name : {"offset.gif", "animation.gif", "twin_5x9_interlaced.gif"}) files.emplace_back(name, nullptr);
  for (const auto& file : files) {
    std::string path = Picture(file.first.c_str());
    const char* name = file.first.c_str();
    Bitmap* plain = nullptr;
    int plain_delay = 0;
    if (file.second) {
      plain = file.second(path.c_str(), nullptr);
    } else {
      plain = LoadGifFirstFrame(path.c_str(), nullptr, &plain_delay, nullptr);
    }
    ASSERT_NE(plain, nullptr) << name;
    for (bool give : {false, true}) {
      PictureDecoding* decoding = StartPictureDecoding(path.c_str(), INT64_MAX);
      ASSERT_NE(decoding, nullptr) << name;
      int64_t need = PictureDecodingNeed(decoding);
      if (give) {
        GivePictureDecodingMemory(decoding, DirtyTarget(plain->Width() + 7, plain->Height() + 1));
        need = PictureDecodingNeed(decoding);
      }
      int result = 0;
      while ((result = StepPictureDecoding(decoding)) == 0) EXPECT_LE(PictureDecodingHeld(decoding), need) << name;
      ASSERT_EQ(result, 1) << name;
      int delay = -1;
      GifFrameReader* animation = nullptr;
      Bitmap* picture = TakeDecodedPicture(decoding, &delay, &animation);
      ExpectSamePixels(plain, picture, name);
      EXPECT_EQ(delay, plain_delay) << name;
      EXPECT_EQ(animation != nullptr, plain_delay > 0) << name;
      CloseGifFrameReader(animation);
      delete picture;
      if (!give) {
        EXPECT_EQ(StartPictureDecoding(path.c_str(), need - 1), nullptr) << name;
        AbandonPictureDecoding(StartPictureDecoding(path.c_str(), need));
      }
    }
    delete plain;
  }
  EXPECT_EQ(StartPictureDecoding(Picture("photo.pcx").c_str(), INT64_MAX), nullptr);  // no decoder
  EXPECT_EQ(DecodePictureFile(Picture("empty.jpg").c_str(), nullptr, nullptr), nullptr);
}
#endif

TEST(PictureHeader, SizesWithoutDecoding) {
  struct {
    const char* name;
    int width, height;
    bool multiple_scans;
  } cases[] = {{"photo.jpg", 67, 45, false},  {"grey.jpg", 33, 21, false},
               {"progressive.jpg", 50, 30, true}, {"truncated.jpg", 67, 45, false},
               {"rgba8.png", 0, 0, false},    {"offset.gif", 0, 0, false},
               {"rgb24.bmp", 0, 0, false},    {"only48.ico", 16, 16, false},
               // As libjpeg reads them: one scan per component is several
               // scans; FF 00 outside a segment is no marker.
               {"scan_per_component.jpg", 40, 24, true}, {"stuffed_zero_header.jpg", 16, 16, false}};
  for (const auto& c : cases) {
    PictureHeader header;
    ASSERT_TRUE(ReadPictureHeader(Picture(c.name).c_str(), &header)) << c.name;
    if (c.width == 0) {
      // The size the decoder gives.
      Bitmap* plain = nullptr;
      std::string name = c.name;
      if (name.find(".png") != std::string::npos) plain = LoadPngFile(Picture(c.name).c_str());
#ifdef _WIN32
      if (name.find(".gif") != std::string::npos) plain = LoadGifFile(Picture(c.name).c_str());
      if (name.find(".bmp") != std::string::npos) plain = LoadBmpFile(Picture(c.name).c_str());
#endif
      if (!plain) continue;
      EXPECT_EQ(header.width, plain->Width()) << c.name;
      EXPECT_EQ(header.height, plain->Height()) << c.name;
      delete plain;
    } else {
      EXPECT_EQ(header.width, c.width) << c.name;
      EXPECT_EQ(header.height, c.height) << c.name;
      EXPECT_EQ(header.multiple_scans, c.multiple_scans) << c.name;
    }
  }
  PictureHeader header;
  EXPECT_FALSE(ReadPictureHeader(Picture("empty.jpg").c_str(), &header));
  EXPECT_FALSE(ReadPictureHeader(Picture("missing.png").c_str(), &header));
  // A BMP height of INT32_MIN has no positive counterpart; -1 is 1 row.
  unsigned char bmp[26] = {'B', 'M', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 40, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0x80};
  EXPECT_FALSE(ReadPictureHeaderBytes(bmp, sizeof bmp, &header));
  bmp[22] = bmp[23] = bmp[24] = bmp[25] = 0xFF;
  ASSERT_TRUE(ReadPictureHeaderBytes(bmp, sizeof bmp, &header));
  EXPECT_EQ(header.height, 1);
}
