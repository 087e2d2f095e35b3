// The five decoders and the GIF frame reader on pictures made by
// scripts/make-decoder-test-pictures.py, whose pixel patterns are repeated here.
#include <windows.h>

#include <gif_lib.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "imagefiles/bmp_file.h"
#include "imagefiles/gif_file.h"
#include "imagefiles/gif_frame_cache.h"
#include "imagefiles/gif_frame_reader.h"
#include "imagefiles/picture_decoding.h"
#include "imagefiles/gif_memory_source.h"
#include "imagefiles/ico_file.h"
#include "imagefiles/jpeg_file.h"
#include "imagefiles/png_file.h"
#include "raster/blitting.h"
#include "raster/memory_bitmap.h"
#include "tests/support/win_test_support.h"

namespace {

std::string Picture(const char* name) { return std::string(VISTREL_TEST_PICTURES) + "/" + name; }

uint32_t Pixel(Bitmap* bitmap, int x, int y) { return bitmap->Bits()[y * bitmap->RowSpan() + x]; }

// A binary PNM written by djpeg: the samples after the header.
bool ReadPnm(const std::string& path, int* width, int* height, int* channels, std::vector<unsigned char>* samples) {
  FILE* file = fopen(path.c_str(), "rb");
  if (!file) return false;
  char kind[3] = {0};
  int max = 0;
  bool ok = fscanf(file, "%2s %d %d %d", kind, width, height, &max) == 4 && fgetc(file) != EOF;
  *channels = strcmp(kind, "P6") == 0 ? 3 : 1;
  if (ok) {
    samples->resize(static_cast<size_t>(*width) * *height * *channels);
    ok = fread(samples->data(), 1, samples->size(), file) == samples->size();
  }
  fclose(file);
  return ok;
}

void ExpectSameAsDjpeg(const char* jpeg, const char* reference) {
  int width = 0, height = 0, channels = 0;
  std::vector<unsigned char> samples;
  ASSERT_TRUE(ReadPnm(Picture(reference), &width, &height, &channels, &samples)) << reference;
  Bitmap* bitmap = LoadJpegFile(Picture(jpeg).c_str());
  ASSERT_NE(bitmap, nullptr) << jpeg;
  ASSERT_EQ(bitmap->Width(), width);
  ASSERT_EQ(bitmap->Height(), height);
  int differences = 0;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const unsigned char* s = &samples[(static_cast<size_t>(y) * width + x) * channels];
      uint32_t expected = channels == 3 ? 0xFF000000u | s[0] << 16 | s[1] << 8 | s[2] : 0xFF000000u | s[0] * 0x010101u;
      if (Pixel(bitmap, x, y) != expected) ++differences;
    }
  }
  EXPECT_EQ(differences, 0) << jpeg;
  delete bitmap;
}

uint32_t TwinRgb(int x, int y) {
  return 0xFF000000u | ((x * 19 + y * 7) & 255) << 16 | ((x * 3 + y * 29) & 255) << 8 | ((x * y * 5) & 255);
}

uint32_t GifColour(int index) {
  static const uint32_t colours[8] = {0x000000, 0xFFFFFF, 0x0A141E, 0xC80000,
                                      0x00C800, 0x0000C8, 0x323C46, 0x5A5046};
  return 0xFF000000u | colours[index];
}

}  // namespace

// ---------------------------------------------------------------- JPEG

TEST(JpegFileTest, MatchesLibjpegByteForByte) {
  ExpectSameAsDjpeg("photo.jpg", "photo.pnm");
  ExpectSameAsDjpeg("photo444.jpg", "photo444.pnm");
  ExpectSameAsDjpeg("progressive.jpg", "progressive.pnm");
}

TEST(JpegFileTest, GreyDecodesToGreyPixels) { ExpectSameAsDjpeg("grey.jpg", "grey.pnm"); }

TEST(JpegFileTest, TruncatedFileDecodesAtFullSize) {
  ExpectSameAsDjpeg("truncated.jpg", "truncated.pnm");
  Bitmap* whole = LoadJpegFile(Picture("photo.jpg").c_str());
  Bitmap* cut = LoadJpegFile(Picture("truncated.jpg").c_str());
  ASSERT_NE(whole, nullptr);
  ASSERT_NE(cut, nullptr);
  EXPECT_EQ(cut->Width(), whole->Width());
  EXPECT_EQ(cut->Height(), whole->Height());
  delete whole;
  delete cut;
}

TEST(JpegFileTest, CmykStoredInverted) {
  Bitmap* white = LoadJpegFile(Picture("cmyk_white.jpg").c_str());
  Bitmap* black = LoadJpegFile(Picture("cmyk_black.jpg").c_str());
  ASSERT_NE(white, nullptr);
  ASSERT_NE(black, nullptr);
  for (int y = 0; y < 16; ++y) {
    for (int x = 0; x < 16; ++x) {
      EXPECT_EQ(Pixel(white, x, y), 0xFFFFFFFFu);
      EXPECT_EQ(Pixel(black, x, y), 0xFF000000u);
    }
  }
  delete white;
  delete black;
}

TEST(JpegFileTest, EmptyOrMissingFileGivesNull) {
  EXPECT_EQ(LoadJpegFile(Picture("empty.jpg").c_str()), nullptr);
  EXPECT_EQ(LoadJpegFile(Picture("missing.jpg").c_str()), nullptr);
  // Not a JPEG at all.
  EXPECT_EQ(LoadJpegFile(Picture("rgba8.png").c_str()), nullptr);
}

TEST(JpegFileTest, DecodesIntoATargetAndKeepsItOnFailure) {
  MemoryBitmap target(3, 3);
  EXPECT_EQ(LoadJpegFile(Picture("grey.jpg").c_str(), &target), &target);
  EXPECT_EQ(target.Width(), 33);
  EXPECT_EQ(target.Height(), 21);
  EXPECT_EQ(LoadJpegFile(Picture("empty.jpg").c_str(), &target), nullptr);
}

// ---------------------------------------------------------------- PNG

TEST(PngFileTest, SixteenBitRgbaKeepsTheHighBytes) {
  Bitmap* bitmap = LoadPngFile(Picture("rgba16.png").c_str());
  ASSERT_NE(bitmap, nullptr);
  ASSERT_EQ(bitmap->Width(), 3);
  EXPECT_EQ(Pixel(bitmap, 0, 0), 0x80FF0000u);
  EXPECT_EQ(Pixel(bitmap, 1, 0), 0xFF12AB00u);
  EXPECT_EQ(Pixel(bitmap, 2, 0), 0x000080FFu);
  delete bitmap;
}

TEST(PngFileTest, PaletteWithAndWithoutTransparency) {
  const uint32_t palette[5] = {0xFF0000, 0x00FF00, 0x0000FF, 0x0A141E, 0xC89664};
  const uint32_t alpha[5] = {0, 255, 128, 255, 255};
  Bitmap* plain = LoadPngFile(Picture("palette.png").c_str());
  Bitmap* see_through = LoadPngFile(Picture("palette_trns.png").c_str());
  ASSERT_NE(plain, nullptr);
  ASSERT_NE(see_through, nullptr);
  for (int y = 0; y < 3; ++y) {
    for (int x = 0; x < 5; ++x) {
      int index = (x + y) % 5;
      EXPECT_EQ(Pixel(plain, x, y), 0xFF000000u | palette[index]) << x << "," << y;
      EXPECT_EQ(Pixel(see_through, x, y), alpha[index] << 24 | palette[index]) << x << "," << y;
    }
  }
  delete plain;
  delete see_through;
}

TEST(PngFileTest, OneBitGreyIsBlackAndWhite) {
  Bitmap* bitmap = LoadPngFile(Picture("grey1.png").c_str());
  ASSERT_NE(bitmap, nullptr);
  ASSERT_EQ(bitmap->Width(), 10);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 10; ++x) EXPECT_EQ(Pixel(bitmap, x, y), (x + y) & 1 ? 0xFFFFFFFFu : 0xFF000000u);
  delete bitmap;
}

TEST(PngFileTest, GreyTransparencyBecomesAlpha) {
  Bitmap* bitmap = LoadPngFile(Picture("grey8_trns.png").c_str());
  ASSERT_NE(bitmap, nullptr);
  EXPECT_EQ(Pixel(bitmap, 0, 0), 0xFF000000u);
  EXPECT_EQ(Pixel(bitmap, 1, 0), 0x00646464u);
  EXPECT_EQ(Pixel(bitmap, 2, 0), 0xFFC8C8C8u);
  EXPECT_EQ(Pixel(bitmap, 3, 0), 0xFFFFFFFFu);
  delete bitmap;
}

TEST(PngFileTest, InterlacedTwinsDecodeAlike) {
  const int sizes[4][2] = {{13, 11}, {1, 1}, {7, 2}, {3, 5}};
  for (const auto& size : sizes) {
    char plain_name[64], interlaced_name[64];
    snprintf(plain_name, sizeof plain_name, "twin_%dx%d.png", size[0], size[1]);
    snprintf(interlaced_name, sizeof interlaced_name, "twin_%dx%d_interlaced.png", size[0], size[1]);
    Bitmap* plain = LoadPngFile(Picture(plain_name).c_str());
    Bitmap* interlaced = LoadPngFile(Picture(interlaced_name).c_str());
    ASSERT_NE(plain, nullptr) << plain_name;
    ASSERT_NE(interlaced, nullptr) << interlaced_name;
    ASSERT_EQ(interlaced->Width(), size[0]);
    ASSERT_EQ(interlaced->Height(), size[1]);
    for (int y = 0; y < size[1]; ++y) {
      for (int x = 0; x < size[0]; ++x) {
        EXPECT_EQ(Pixel(plain, x, y), TwinRgb(x, y)) << plain_name;
        EXPECT_EQ(Pixel(interlaced, x, y), TwinRgb(x, y)) << interlaced_name;
      }
    }
    delete plain;
    delete interlaced;
  }
}

TEST(PngFileTest, CorruptedCrcGivesNull) {
  EXPECT_EQ(LoadPngFile(Picture("bad_crc.png").c_str()), nullptr);
  EXPECT_EQ(LoadPngFile(Picture("photo.jpg").c_str()), nullptr);
  EXPECT_EQ(LoadPngFile(Picture("empty.jpg").c_str()), nullptr);
}

TEST(PngFileTest, HeaderClaimingTenBillionPixelsGivesNull) {
  EXPECT_EQ(LoadPngFile(Picture("huge.png").c_str()), nullptr);
  MemoryBitmap target(2, 2);
  EXPECT_EQ(LoadPngFile(Picture("huge.png").c_str(), &target), nullptr);
}

// ---------------------------------------------------------------- GIF

TEST(GifFileTest, ImageAtAnOffsetOverTransparentBackground) {
  Bitmap* bitmap = LoadGifFile(Picture("offset.gif").c_str());
  ASSERT_NE(bitmap, nullptr);
  ASSERT_EQ(bitmap->Width(), 10);
  ASSERT_EQ(bitmap->Height(), 8);
  const int rows[3][4] = {{3, 4, 5, 6}, {0, 0, 3, 0}, {5, 4, 3, 7}};
  for (int y = 0; y < 8; ++y) {
    for (int x = 0; x < 10; ++x) {
      uint32_t expected = 0x000A141E;  // the background colour, alpha 0
      if (x >= 3 && x < 7 && y >= 2 && y < 5 && rows[y - 2][x - 3] != 0) expected = GifColour(rows[y - 2][x - 3]);
      EXPECT_EQ(Pixel(bitmap, x, y), expected) << x << "," << y;
    }
  }
  delete bitmap;
}

TEST(GifFileTest, ImageReachingPastTheScreenIsClipped) {
  Bitmap* bitmap = LoadGifFile(Picture("overhang.gif").c_str());
  ASSERT_NE(bitmap, nullptr);
  ASSERT_EQ(bitmap->Width(), 6);
  ASSERT_EQ(bitmap->Height(), 5);
  for (int y = 0; y < 5; ++y) {
    for (int x = 0; x < 6; ++x) {
      uint32_t expected = 0x00FFFFFF;  // background index 1
      if (x >= 3 && y >= 3) expected = GifColour((x - 3 + y - 3) % 6 + 1);
      EXPECT_EQ(Pixel(bitmap, x, y), expected) << x << "," << y;
    }
  }
  delete bitmap;
}

TEST(GifFileTest, NegativeOffsetsAreClipped) {
  // Read from memory, so that the image can be given offsets no file holds.
  std::string bytes;
  ASSERT_TRUE(ReadFileBytes(Picture("overhang.gif"), &bytes));
  GifMemorySource source = {reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), 0, {}};
  int error = 0;
  GifFileType* gif = OpenGifFromMemory(&source);
  ASSERT_NE(gif, nullptr);
  GifRecordType record;
  ASSERT_EQ(DGifGetRecordType(gif, &record), GIF_OK);
  ASSERT_EQ(record, IMAGE_DESC_RECORD_TYPE);
  ASSERT_EQ(DGifGetImageDesc(gif), GIF_OK);
  gif->Image.Left = -2;
  gif->Image.Top = -1;
  MemoryBitmap bitmap(6, 5);
  DrawGifImage(&bitmap, gif, -1, true);
  for (int y = 0; y < 5; ++y) {
    for (int x = 0; x < 6; ++x) {
      uint32_t expected = 0x00FFFFFF;
      int ix = x + 2, iy = y + 1;
      if (ix < 5 && iy < 4) expected = GifColour((ix + iy) % 6 + 1);
      EXPECT_EQ(Pixel(&bitmap, x, y), expected) << x << "," << y;
    }
  }
  DGifCloseFile(gif, &error);
}

TEST(GifFileTest, InterlacedTwinsDecodeAlike) {
  for (int h : {1, 2, 4, 9}) {
    std::string plain_name = "twin_5x" + std::to_string(h) + ".gif";
    std::string interlaced_name = "twin_5x" + std::to_string(h) + "_interlaced.gif";
    Bitmap* plain = LoadGifFile(Picture(plain_name.c_str()).c_str());
    Bitmap* interlaced = LoadGifFile(Picture(interlaced_name.c_str()).c_str());
    ASSERT_NE(plain, nullptr) << plain_name;
    ASSERT_NE(interlaced, nullptr) << interlaced_name;
    for (int y = 0; y < h; ++y) {
      for (int x = 0; x < 5; ++x) {
        EXPECT_EQ(Pixel(plain, x, y), GifColour((x * 3 + y * 5) % 8)) << plain_name << " " << x << "," << y;
        EXPECT_EQ(Pixel(interlaced, x, y), GifColour((x * 3 + y * 5) % 8)) << interlaced_name << " " << x << "," << y;
      }
    }
    delete plain;
    delete interlaced;
  }
}

TEST(GifFileTest, TwoImagesWithoutDelayAreBothDrawn) {
  Bitmap* bitmap = LoadGifFile(Picture("two_images.gif").c_str());
  ASSERT_NE(bitmap, nullptr);
  const int second[2][2] = {{4, 5}, {6, 7}};
  for (int y = 0; y < 4; ++y) {
    for (int x = 0; x < 6; ++x) {
      int index = (x >= 2 && x < 4 && y >= 1 && y < 3) ? second[y - 1][x - 2] : 3;
      EXPECT_EQ(Pixel(bitmap, x, y), GifColour(index)) << x << "," << y;
    }
  }
  delete bitmap;
}

TEST(GifFileTest, AnimationGivesItsFirstFrameOnly) {
  Bitmap* bitmap = LoadGifFile(Picture("animation.gif").c_str());
  ASSERT_NE(bitmap, nullptr);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x) EXPECT_EQ(Pixel(bitmap, x, y), GifColour(3));
  delete bitmap;
}

TEST(GifFileTest, NoImageOrHugeScreenGivesNull) {
  EXPECT_EQ(LoadGifFile(Picture("no_image.gif").c_str()), nullptr);
  EXPECT_EQ(LoadGifFile(Picture("huge_screen.gif").c_str()), nullptr);
  EXPECT_EQ(LoadGifFile(Picture("empty.jpg").c_str()), nullptr);
  EXPECT_EQ(LoadGifFile(Picture("missing.gif").c_str()), nullptr);
}

TEST(GifFrameReaderTest, DelaysEndAndRewind) {
  GifFrameReader* reader = OpenGifFrameReader(Picture("animation.gif").c_str());
  ASSERT_NE(reader, nullptr);
  MemoryBitmap bitmap;
  EXPECT_EQ(ReadNextGifFrame(reader, &bitmap), 100);  // delay field 10
  EXPECT_EQ(bitmap.Width(), 4);
  EXPECT_EQ(Pixel(&bitmap, 1, 1), GifColour(3));
  EXPECT_EQ(ReadNextGifFrame(reader, &bitmap), 100);  // delay field 1, shown as 10
  // The second frame's local colour table, over the first frame.
  EXPECT_EQ(Pixel(&bitmap, 1, 1), 0xFF010203u);
  EXPECT_EQ(Pixel(&bitmap, 2, 1), 0xFF040506u);
  EXPECT_EQ(Pixel(&bitmap, 0, 0), GifColour(3));
  EXPECT_EQ(ReadNextGifFrame(reader, &bitmap), 0);  // no graphic control extension
  EXPECT_EQ(Pixel(&bitmap, 0, 0), GifColour(5));
  EXPECT_EQ(reader->state, 3);
  EXPECT_EQ(reader->elapsed, 200);
  EXPECT_EQ(ReadNextGifFrame(reader, &bitmap), GIF_FRAME_END);
  EXPECT_EQ(reader->state, GIF_FRAME_END);
  EXPECT_EQ(ReadNextGifFrame(reader, &bitmap), GIF_FRAME_STOPPED);

  RewindGifFrameReader(reader);
  EXPECT_EQ(reader->state, 0);
  EXPECT_EQ(reader->elapsed, 0);
  FillBitmapRect(&bitmap, 0, 0, 4, 4, 0xFF123456u, 1.0f, BLEND_COPY);
  EXPECT_EQ(ReadNextGifFrame(reader, &bitmap), 100);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x) EXPECT_EQ(Pixel(&bitmap, x, y), GifColour(3));
  // Without a target the frames are only read past.
  EXPECT_EQ(ReadNextGifFrame(reader, nullptr), 100);
  CloseGifFrameReader(reader);
}

TEST(GifFrameReaderTest, LongAnimationsDoNotGrowGiflibsImageList) {
  GifFrameReader* reader = OpenGifFrameReader(Picture("animation.gif").c_str());
  ASSERT_NE(reader, nullptr);
  MemoryBitmap bitmap;
  for (int loop = 0; loop < 200; ++loop) {
    while (ReadNextGifFrame(reader, &bitmap) >= 0) {
    }
    RewindGifFrameReader(reader);
  }
  EXPECT_LE(reader->decoder->ImageCount, 1);
  CloseGifFrameReader(reader);
}

TEST(GifFrameReaderTest, FailuresAndNullReader) {
  EXPECT_EQ(ReadNextGifFrame(nullptr, nullptr), GIF_FRAME_STOPPED);
  CloseGifFrameReader(nullptr);
  RewindGifFrameReader(nullptr);
  EXPECT_EQ(OpenGifFrameReader(Picture("missing.gif").c_str()), nullptr);
  EXPECT_EQ(OpenGifFrameReader(Picture("photo.jpg").c_str()), nullptr);

  // A screen no file can back is refused as the reader opens; a target
  // that does not take the screen's size leaves the reader as it was.
  EXPECT_EQ(OpenGifFrameReader(Picture("huge_screen.gif").c_str()), nullptr);
  struct RefusingBitmap : MemoryBitmap {
    bool Resize(int, int) override { return MemoryBitmap::Resize(0, 0); }
  } refusing;
  GifFrameReader* reader = OpenGifFrameReader(Picture("animation.gif").c_str());
  ASSERT_NE(reader, nullptr);
  EXPECT_EQ(ReadNextGifFrame(reader, &refusing), GIF_FRAME_BAD_SIZE);
  EXPECT_EQ(reader->state, 0);
  CloseGifFrameReader(reader);
  MemoryBitmap bitmap;

  reader = OpenGifFrameReader(Picture("no_image.gif").c_str());
  ASSERT_NE(reader, nullptr);
  EXPECT_EQ(ReadNextGifFrame(reader, &bitmap), GIF_FRAME_END);
  CloseGifFrameReader(reader);
}

namespace {

// Every pixel of the visible area alike (both null counts as alike).
bool SamePicture(Bitmap* a, Bitmap* b) {
  if (!a || !b) return a == b;
  if (a->Width() != b->Width() || a->Height() != b->Height()) return false;
  for (int y = 0; y < a->Height(); ++y)
    for (int x = 0; x < a->Width(); ++x)
      if (Pixel(a, x, y) != Pixel(b, x, y)) return false;
  return true;
}

const char* const GIFS[] = {"offset.gif", "overhang.gif", "two_images.gif", "animation.gif", "seed.gif",
                            "twin_5x9_interlaced.gif", "twin_5x1.gif", "no_image.gif", "huge_screen.gif",
                            "tall_image.gif", "wide_image.gif", "wide_second_frame.gif", "many_images.gif",
                            "animated_4096.gif", "animated_8000.gif", "empty.jpg", "missing.gif"};

}  // namespace

TEST(GifFrameReaderTest, FirstFrameInOneDecodeIsThePictureOfBoth) {
  // What a GIF was shown with when the whole file was decoded first and the
  // frame reader then drew its first frame over it.
  for (const char* name : GIFS) {
    std::string path = Picture(name);
    Bitmap* both = LoadGifFile(path.c_str());
    GifFrameReader* reader = OpenGifFrameReader(path.c_str());
    int both_delay = both && reader ? ReadNextGifFrame(reader, both) : 0;
    CloseGifFrameReader(reader);
    int delay = -1;
    GifFrameReader* animation = nullptr;
    Bitmap* once = LoadGifFirstFrame(path.c_str(), nullptr, &delay, &animation);
    EXPECT_TRUE(SamePicture(both, once)) << name;
    EXPECT_EQ(delay, both_delay > 0 ? both_delay : 0) << name;
    // The same through the one way in, the frame drawn in steps of lines.
    int sliced_delay = -1;
    Bitmap* sliced = DecodePictureFile(path.c_str(), &sliced_delay, nullptr);
    EXPECT_TRUE(SamePicture(once, sliced)) << name << " in steps";
    EXPECT_EQ(sliced_delay, sliced ? delay : 0) << name;
    delete sliced;
    // The reader handed over goes on with the second frame.
    EXPECT_EQ(animation != nullptr, both_delay > 0) << name;
    if (animation) {
      EXPECT_EQ(animation->state, 1) << name;
      CloseGifFrameReader(animation);
    }
    // And into a target that held another picture.
    MemoryBitmap target(7, 3);
    FillBitmapRect(&target, 0, 0, 7, 3, 0xFF123456u, 1.0f, BLEND_COPY);
    Bitmap* into = LoadGifFirstFrame(path.c_str(), &target, &delay, nullptr);
    EXPECT_TRUE(SamePicture(both, into)) << name << " into a target";
    // A reader resumed after that frame reads on as the first one did.
    if (both_delay > 0) {
      GifFrameReader* resumed = ResumeGifAnimation(path.c_str(), both_delay);
      ASSERT_NE(resumed, nullptr) << name;
      EXPECT_EQ(resumed->state, 1);
      CloseGifFrameReader(resumed);
      EXPECT_EQ(ResumeGifAnimation(path.c_str(), both_delay + 1), nullptr) << name;
    }
    delete both;
    delete once;
  }
}

TEST(GifFrameReaderTest, LaterLoopsFromMemoryGiveTheDecodedFrames) {
  for (const char* name : {"animation.gif", "seed.gif", "animated_4096.gif", "wide_second_frame.gif",
                           "twin_5x9_interlaced.gif"}) {
    for (bool resumed : {false, true}) {
      std::string what = std::string(name) + (resumed ? ", first frame read past" : "");
      GifFrameReader* reader = OpenGifFrameReader(Picture(name).c_str());
      GifFrameReader* plain = OpenGifFrameReader(Picture(name).c_str());
      ASSERT_NE(reader, nullptr) << what;
      ASSERT_NE(plain, nullptr) << what;
      FreeGifFrameCache(plain->cache);
      plain->cache = nullptr;
      MemoryBitmap picture, expected;
      if (resumed) {
        // As a prepared GIF is shown: the picture holds the first frame.
        ReadNextGifFrame(plain, &expected);
        ReadNextGifFrame(reader, nullptr);
        ReadNextGifFrame(plain, nullptr);
        RewindGifFrameReader(plain);
        ReadNextGifFrame(plain, &picture);
        ASSERT_TRUE(SamePicture(&picture, &expected));
      }
      for (int loop = 0; loop < 4; ++loop) {
        for (int frame = 0; frame < 50; ++frame) {
          int result = ReadNextGifFrame(reader, &picture);
          ASSERT_EQ(result, ReadNextGifFrame(plain, &expected)) << what << " loop " << loop << " frame " << frame;
          ASSERT_EQ(reader->state, plain->state);
          ASSERT_EQ(reader->elapsed, plain->elapsed);
          ASSERT_TRUE(SamePicture(&picture, &expected)) << what << " loop " << loop << " frame " << frame;
          if (result < 0) break;
        }
        // The first whole loop drawn from the file is kept; after it the
        // file is not read any more.
        EXPECT_EQ(reader->cache->complete, loop >= (resumed ? 1 : 0)) << what << " loop " << loop;
        RewindGifFrameReader(reader);
        RewindGifFrameReader(plain);
      }
      CloseGifFrameReader(reader);
      CloseGifFrameReader(plain);
    }
  }
  // Frames beyond the cache's size are not kept, and the loops go on from
  // the file.
  GifFrameCache* cache = MakeGifFrameCache();
  uint32_t colours[256] = {};
  std::vector<uint8_t> row(1 << 20);
  // What it holds is counted as allocated, and stays within its size.
  auto allocated = [&] {
    int64_t bytes = static_cast<int64_t>(cache->frames.capacity() * sizeof(GifCachedFrame));
    for (const GifCachedFrame& kept : cache->frames) {
      bytes += static_cast<int64_t>(kept.rows.capacity() * sizeof(int) + kept.indices.capacity());
    }
    return bytes;
  };
  for (int frame = 0; frame < 100 && !cache->too_large; ++frame) {
    BeginCachedFrame(cache, colours, -1, frame == 0, 0, 0, static_cast<int>(row.size()));
    for (int y = 0; y < 8; ++y) {
      AddCachedRow(cache, y, row.data());
      ASSERT_EQ(allocated(), cache->bytes);
      ASSERT_LE(cache->bytes, GIF_FRAME_CACHE_BYTES);
    }
    EndCachedFrame(cache, 10);
  }
  EXPECT_TRUE(cache->too_large);
  EXPECT_TRUE(cache->frames.empty());
  EndCachedFrame(cache, GIF_FRAME_END);
  RewindGifFrameCache(cache);
  EXPECT_FALSE(cache->complete);
  FreeGifFrameCache(cache);
}

// ---------------------------------------------------------------- BMP

uint32_t BmpRgb(int x, int y) {
  return 0xFF000000u | ((x * 40) & 255) << 16 | ((y * 50) & 255) << 8 | (((x + y) * 10) & 255);
}

TEST(BmpFileTest, TwentyFourAndThirtyTwoBitsAreOpaque) {
  for (const char* name : {"rgb24.bmp", "rgba32.bmp"}) {
    Bitmap* bitmap = LoadBmpFile(Picture(name).c_str());
    ASSERT_NE(bitmap, nullptr) << name;
    ASSERT_EQ(bitmap->Width(), 7);
    ASSERT_EQ(bitmap->Height(), 5);
    for (int y = 0; y < 5; ++y)
      for (int x = 0; x < 7; ++x) EXPECT_EQ(Pixel(bitmap, x, y), BmpRgb(x, y)) << name << " " << x << "," << y;
    delete bitmap;
  }
}

TEST(BmpFileTest, RunLengthEncodedEightBits) {
  Bitmap* bitmap = LoadBmpFile(Picture("rle8.bmp").c_str());
  ASSERT_NE(bitmap, nullptr);
  ASSERT_EQ(bitmap->Width(), 8);
  ASSERT_EQ(bitmap->Height(), 4);
  for (int y = 0; y < 4; ++y) {
    for (int x = 0; x < 8; ++x) {
      int i = x < 3 ? y + 1 : y + 2;
      uint32_t expected = 0xFF000000u | (i * 30) << 16 | (i * 10) << 8 | (i * 20);
      EXPECT_EQ(Pixel(bitmap, x, y), expected) << x << "," << y;
    }
  }
  delete bitmap;
}

TEST(BmpFileTest, NotABitmapGivesNull) {
  EXPECT_EQ(LoadBmpFile(Picture("photo.jpg").c_str()), nullptr);
  EXPECT_EQ(LoadBmpFile(Picture("missing.bmp").c_str()), nullptr);
  EXPECT_EQ(LoadBmpFile(Picture("empty.jpg").c_str()), nullptr);
}

// ---------------------------------------------------------------- ICO

TEST(IcoFileTest, OnlyFortyEightPixelImageGivesSixteen) {
  Bitmap* bitmap = LoadIcoFile(Picture("only48.ico").c_str());
  ASSERT_NE(bitmap, nullptr);
  EXPECT_EQ(bitmap->Width(), 16);
  EXPECT_EQ(bitmap->Height(), 16);
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 16; ++x) EXPECT_EQ(Pixel(bitmap, x, y), 0xFFC86432u) << x << "," << y;
  delete bitmap;
}

TEST(IcoFileTest, MaskMakesPixelsTransparent) {
  Bitmap* bitmap = LoadIcoFile(Picture("mask.ico").c_str());
  ASSERT_NE(bitmap, nullptr);
  ASSERT_EQ(bitmap->Width(), 16);
  for (int y = 0; y < 16; ++y) {
    for (int x = 0; x < 16; ++x) {
      if (x < 8) EXPECT_EQ(Pixel(bitmap, x, y) >> 24, 0u) << x << "," << y;
      else EXPECT_EQ(Pixel(bitmap, x, y), 0xFF5A3C1Eu) << x << "," << y;
    }
  }
  delete bitmap;
}

TEST(IcoFileTest, HalfTransparentPixelsGetTheirAlphaBack) {
  Bitmap* bitmap = LoadIcoFile(Picture("half.ico").c_str());
  ASSERT_NE(bitmap, nullptr);
  ASSERT_EQ(bitmap->Width(), 16);
  for (int y = 0; y < 16; ++y) {
    for (int x = 0; x < 16; ++x) {
      uint32_t p = Pixel(bitmap, x, y);
      if (y >= 8) {
        EXPECT_EQ(p, 0xFFC86428u) << x << "," << y;
        continue;
      }
      // Blending on black and on white rounds: allow a step or two.
      EXPECT_NEAR(static_cast<int>(p >> 24), 128, 1) << x << "," << y;
      EXPECT_NEAR(static_cast<int>(p >> 16 & 255), 200, 2) << x << "," << y;
      EXPECT_NEAR(static_cast<int>(p >> 8 & 255), 100, 2) << x << "," << y;
      EXPECT_NEAR(static_cast<int>(p & 255), 40, 2) << x << "," << y;
    }
  }
  delete bitmap;
}

TEST(IcoFileTest, NotAnIconGivesNull) {
  EXPECT_EQ(LoadIcoFile(Picture("photo.jpg").c_str()), nullptr);
  EXPECT_EQ(LoadIcoFile(Picture("missing.ico").c_str()), nullptr);
}

// ---------------------------------------------------------------- paths

TEST(PicturePathTest, NonAsciiAndLongPaths) {
  std::string folder = MakeTempFolder("decoder_paths");
  // Every format also in a folder whose paths are 300 characters long.
  std::string deep = folder + std::string(120, 'a') + "\\";
  ASSERT_TRUE(CreateFolder(deep));
  deep += std::string(120, 'b') + "\\";
  ASSERT_TRUE(CreateFolder(deep));
  const char* names[] = {"jpeg", "png", "gif", "bmp", "ico"};
  const char* sources[] = {"grey.jpg", "rgba16.png", "offset.gif", "rgb24.bmp", "mask.ico"};
  for (int i = 0; i < 10; ++i) {
    std::string bytes;
    ASSERT_TRUE(ReadFileBytes(Picture(sources[i % 5]), &bytes));
    // Greek, Japanese and an emoji outside the basic plane.
    std::string path = (i < 5 ? folder : deep) + "\xCE\xB1\xCE\xB2 \xE6\x97\xA5\xE6\x9C\xAC \xF0\x9F\x98\x80." + names[i % 5];
    if (i >= 5) {
      ASSERT_GE(path.size(), 300u);
    }
    ASSERT_TRUE(WriteFileBytes(path, bytes));
    Bitmap* bitmap = nullptr;
    switch (i % 5) {
      case 0: bitmap = LoadJpegFile(path.c_str()); break;
      case 1: bitmap = LoadPngFile(path.c_str()); break;
      case 2: bitmap = LoadGifFile(path.c_str()); break;
      case 3: bitmap = LoadBmpFile(path.c_str()); break;
      case 4: bitmap = LoadIcoFile(path.c_str()); break;
    }
    EXPECT_NE(bitmap, nullptr) << names[i % 5] << " " << path.size();
    delete bitmap;
    if (i % 5 == 2) {
      GifFrameReader* reader = OpenGifFrameReader(path.c_str());
      EXPECT_NE(reader, nullptr);
      CloseGifFrameReader(reader);
    }
  }
  DeleteTree(folder);
}

TEST(PicturePathTest, InvalidUtf8PathsTakeTheNarrowRoute) {
  std::string folder = MakeTempFolder("decoder_ansi");
  // "caf\xE9" is not UTF-8: it is a name in the system code page.
  const char* sources[] = {"grey.jpg", "rgba16.png", "offset.gif", "rgb24.bmp", "mask.ico"};
  const char* extensions[] = {".jpg", ".png", ".gif", ".bmp", ".ico"};
  for (int i = 0; i < 5; ++i) {
    std::string path = folder + "caf\xE9" + extensions[i];
    std::string wide_source = Picture(sources[i]);
    ASSERT_TRUE(CopyFileA(wide_source.c_str(), path.c_str(), FALSE)) << path;
    Bitmap* bitmap = nullptr;
    switch (i) {
      case 0: bitmap = LoadJpegFile(path.c_str()); break;
      case 1: bitmap = LoadPngFile(path.c_str()); break;
      case 2: bitmap = LoadGifFile(path.c_str()); break;
      case 3: bitmap = LoadBmpFile(path.c_str()); break;
      case 4: bitmap = LoadIcoFile(path.c_str()); break;
    }
    EXPECT_NE(bitmap, nullptr) << extensions[i];
    delete bitmap;
  }
  DeleteTree(folder);
}
