// Decoding into the memory of a picture no longer shown, the JPEG decoding
// band by band (its input a piece at a time) and the PNG decoding row by
// row: all must give exactly the pixels of a plain decode into a new bitmap,
// whatever the target held before, and fail as the plain decode fails. Also
// the size read from a picture's header.
#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <cstdio>
#include <string>

#include "imagefiles/jpeg_file.h"
#include "imagefiles/picture_header.h"
#include "imagefiles/png_file.h"
#include "imagefiles/png_row_decoding.h"
#include "raster/memory_bitmap.h"

#ifdef _WIN32
#include "imagefiles/bmp_file.h"
#include "imagefiles/gif_file.h"
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

// Bytes of a file (0 when missing).
long FileSize(const char* name) {
  FILE* file = fopen(Picture(name).c_str(), "rb");
  if (!file) return 0;
  fseek(file, 0, SEEK_END);
  long size = ftell(file);
  fclose(file);
  return size;
}

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

TEST(JpegBandDecoding, AnyBandHeightAndInputPieceGiveThePixelsOfAPlainDecode) {
  // Rows per call, and bytes of input per call while a progressive file's
  // scans are read (negative: all at once).
  const int steps[][2] = {{1, 1024}, {7, 1}, {16, 4096}, {1000, -1}};
  for (const char* name : JPEGS) {
    Bitmap* plain = LoadJpegFile(Picture(name).c_str());
    ASSERT_NE(plain, nullptr) << name;
    bool progressive = std::string(name).find("progressive") != std::string::npos;
    for (const auto& step : steps) {
      int rows = step[0], input = step[1];
      std::string what = std::string(name) + " in bands of " + std::to_string(rows) + " rows, " +
                         std::to_string(input) + " bytes";
      MemoryBitmap* target = DirtyTarget(plain->Width() + 5, plain->Height() + 3);
      JpegBandDecoding* band = StartJpegBandDecoding(Picture(name).c_str(), target, INT64_MAX);
      ASSERT_NE(band, nullptr) << what;
      EXPECT_EQ(JpegBandBitmap(band), target);
      int result = 0, calls = 0;
      while ((result = DecodeJpegBand(band, rows, input)) == 0) ++calls;
      EXPECT_EQ(result, 1) << what;
      EXPECT_GE(calls + 1, (plain->Height() + rows - 1) / rows) << what;
      // The scans really came a piece at a time (the header is read with
      // the file's first 4096 bytes).
      if (progressive && input > 0) EXPECT_GE(calls, (FileSize(name) - 4096) / input / 2) << what;
      // Further calls keep saying complete.
      EXPECT_EQ(DecodeJpegBand(band, rows, input), 1);
      EXPECT_EQ(FinishJpegBandDecoding(band), target) << what;
      ExpectSamePixels(plain, target, what);
      delete target;
    }
    delete plain;
  }
}

TEST(JpegBandDecoding, AbandoningOrFinishingInTheMiddleOfTheScans) {
  Bitmap* plain = LoadJpegFile(Picture("progressive_large.jpg").c_str());
  for (bool finish : {false, true}) {
    JpegBandDecoding* band = StartJpegBandDecoding(Picture("progressive_large.jpg").c_str(), nullptr, INT64_MAX);
    ASSERT_NE(band, nullptr);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(DecodeJpegBand(band, 1, 1000), 0);
    if (!finish) {
      AbandonJpegBandDecoding(band);
      continue;
    }
    Bitmap* finished = FinishJpegBandDecoding(band);
    ExpectSamePixels(plain, finished, "finished in the middle of the scans");
    delete finished;
  }
  delete plain;
}

TEST(PngRowDecoding, AnyRowCountGivesThePixelsOfAPlainDecode) {
  for (const char* name : PNGS) {
    Bitmap* plain = LoadPngFile(Picture(name).c_str());
    ASSERT_NE(plain, nullptr) << name;
    for (int rows : {1, 5, 1000}) {
      std::string what = std::string(name) + " in steps of " + std::to_string(rows) + " rows";
      MemoryBitmap* target = DirtyTarget(plain->Width() + 3, plain->Height() + 2);
      PngRowDecoding* decoding = StartPngRowDecoding(Picture(name).c_str(), target, INT64_MAX);
      ASSERT_NE(decoding, nullptr) << what;
      int result = 0, calls = 0;
      while ((result = DecodePngRows(decoding, rows)) == 0) ++calls;
      EXPECT_EQ(result, 1) << what;
      EXPECT_GE(calls + 1, (plain->Height() + rows - 1) / rows) << what;
      EXPECT_EQ(DecodePngRows(decoding, rows), 1);
      EXPECT_EQ(FinishPngRowDecoding(decoding), target) << what;
      ExpectSamePixels(plain, target, what);
      delete target;
    }
    delete plain;
  }
}

TEST(PngRowDecoding, FailsWhereThePlainDecodeFails) {
  // Cut in the middle of the image data, and a wrong checksum: no picture.
  for (const char* name : {"truncated.png", "bad_crc.png"}) {
    EXPECT_EQ(LoadPngFile(Picture(name).c_str()), nullptr) << name;
    PngRowDecoding* decoding = StartPngRowDecoding(Picture(name).c_str(), nullptr, INT64_MAX);
    ASSERT_NE(decoding, nullptr) << name;
    int result = 0;
    while ((result = DecodePngRows(decoding, 1)) == 0) {
    }
    EXPECT_EQ(result, -1) << name;
    EXPECT_EQ(DecodePngRows(decoding, 1), -1) << name;
    EXPECT_EQ(FinishPngRowDecoding(decoding), nullptr) << name;
  }
  for (const char* name : {"missing.png", "empty.jpg", "huge.png", "photo.jpg"}) {
    EXPECT_EQ(StartPngRowDecoding(Picture(name).c_str(), nullptr, INT64_MAX), nullptr) << name;
  }
  // rgba8.png is 24 x 16: 1,536 bytes; refused above the limit before the
  // target is sized. Abandoning at any point releases everything (the leak
  // checker of the sanitizer build watches).
  MemoryBitmap target(5, 5);
  EXPECT_EQ(StartPngRowDecoding(Picture("rgba8.png").c_str(), &target, 1535), nullptr);
  EXPECT_EQ(target.Width(), 5);
  PngRowDecoding* decoding = StartPngRowDecoding(Picture("rgba8.png").c_str(), &target, 1536);
  ASSERT_NE(decoding, nullptr);
  EXPECT_EQ(DecodePngRows(decoding, 3), 0);
  AbandonPngRowDecoding(decoding);
  decoding = StartPngRowDecoding(Picture("sliced_rgb.png").c_str(), nullptr, INT64_MAX);
  ASSERT_NE(decoding, nullptr);
  DecodePngRows(decoding, 2);
  AbandonPngRowDecoding(decoding);
  AbandonPngRowDecoding(nullptr);
}

TEST(JpegBandDecoding, FinishingEarlyDecodesTheRest) {
  Bitmap* plain = LoadJpegFile(Picture("photo.jpg").c_str());
  JpegBandDecoding* band = StartJpegBandDecoding(Picture("photo.jpg").c_str(), nullptr, INT64_MAX);
  ASSERT_NE(band, nullptr);
  EXPECT_EQ(DecodeJpegBand(band, 3), 0);
  EXPECT_EQ(DecodeJpegBand(band, 0), 0);
  Bitmap* finished = FinishJpegBandDecoding(band);
  ExpectSamePixels(plain, finished, "finished after three rows");
  delete finished;
  delete plain;
}

TEST(JpegBandDecoding, AbandoningReleasesEverything) {
  // A bitmap made by the start is deleted; a target stays with the caller
  // (the leak checker of the sanitizer build watches both).
  JpegBandDecoding* band = StartJpegBandDecoding(Picture("photo.jpg").c_str(), nullptr, INT64_MAX);
  ASSERT_NE(band, nullptr);
  DecodeJpegBand(band, 5);
  AbandonJpegBandDecoding(band);
  MemoryBitmap target(1, 1);
  band = StartJpegBandDecoding(Picture("grey.jpg").c_str(), &target, INT64_MAX);
  ASSERT_NE(band, nullptr);
  EXPECT_EQ(target.Width(), 33);
  AbandonJpegBandDecoding(band);
  AbandonJpegBandDecoding(nullptr);
  // Abandoning a decoding that is complete.
  band = StartJpegBandDecoding(Picture("grey.jpg").c_str(), nullptr, INT64_MAX);
  ASSERT_NE(band, nullptr);
  EXPECT_EQ(DecodeJpegBand(band, INT_MAX), 1);
  AbandonJpegBandDecoding(band);
}

TEST(JpegBandDecoding, TheSameRefusalsAsTheWholeFile) {
  for (const char* name : {"empty.jpg", "missing.jpg", "rgba8.png"}) {
    EXPECT_EQ(StartJpegBandDecoding(Picture(name).c_str(), nullptr, INT64_MAX), nullptr) << name;
  }
  // photo.jpg is 67 x 45: rows of 68 pixels, 12,240 bytes.
  MemoryBitmap target(5, 5);
  EXPECT_EQ(StartJpegBandDecoding(Picture("photo.jpg").c_str(), &target, 12239), nullptr);
  EXPECT_EQ(target.Width(), 5);   // refused before the target was sized
  JpegBandDecoding* band = StartJpegBandDecoding(Picture("photo.jpg").c_str(), &target, 12240);
  ASSERT_NE(band, nullptr);
  AbandonJpegBandDecoding(band);
}

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
