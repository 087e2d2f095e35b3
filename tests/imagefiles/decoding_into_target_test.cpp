// Decoding into the memory of a picture no longer shown, and the JPEG
// decoding band by band: both must give exactly the pixels of a plain decode
// into a new bitmap, whatever the target held before, and fail as the plain
// decode fails. Also the size read from a picture's header.
#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <string>

#include "imagefiles/jpeg_file.h"
#include "imagefiles/picture_header.h"
#include "imagefiles/png_file.h"
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

const char* const JPEGS[] = {"photo.jpg",     "photo444.jpg",   "grey.jpg",      "progressive.jpg",
                             "truncated.jpg", "cmyk_white.jpg", "cmyk_black.jpg"};

}  // namespace

TEST(DecodingIntoTarget, EveryKindGivesThePixelsOfAPlainDecode) {
  for (const char* name : JPEGS) ExpectTargetDecodesAlike(LoadJpegFile, name);
  for (const char* name : {"rgba16.png", "palette_trns.png", "grey1.png", "twin_13x11_interlaced.png",
                           "twin_1x1_interlaced.png", "rgba8.png"}) {
    ExpectTargetDecodesAlike(LoadPngFile, name);
  }
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

TEST(JpegBandDecoding, AnyBandHeightGivesThePixelsOfAPlainDecode) {
  for (const char* name : JPEGS) {
    Bitmap* plain = LoadJpegFile(Picture(name).c_str());
    ASSERT_NE(plain, nullptr) << name;
    for (int rows : {1, 7, 16, 1000}) {
      MemoryBitmap* target = DirtyTarget(plain->Width() + 5, plain->Height() + 3);
      JpegBandDecoding* band = StartJpegBandDecoding(Picture(name).c_str(), target, INT64_MAX);
      ASSERT_NE(band, nullptr) << name;
      EXPECT_EQ(JpegBandBitmap(band), target);
      int result = 0, calls = 0;
      while ((result = DecodeJpegBand(band, rows)) == 0) ++calls;
      EXPECT_EQ(result, 1) << name;
      EXPECT_GE(calls + 1, (plain->Height() + rows - 1) / rows) << name << " in bands of " << rows;
      // Further calls keep saying complete.
      EXPECT_EQ(DecodeJpegBand(band, rows), 1);
      EXPECT_EQ(FinishJpegBandDecoding(band), target) << name;
      ExpectSamePixels(plain, target, std::string(name) + " in bands of " + std::to_string(rows));
      delete target;
    }
    delete plain;
  }
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
