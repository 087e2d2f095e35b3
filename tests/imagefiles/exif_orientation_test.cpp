// The Exif orientation: read from the bytes of an APP1 segment or an eXIf
// chunk, the eight turns of the raster kernel, and JPEG and PNG pictures that
// record each orientation coming out of the decoders upright.
#include <gtest/gtest.h>

#include <algorithm>
#include <csetjmp>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <jpeglib.h>
#include <png.h>

#include "imagefiles/exif_orientation.h"
#include "imagefiles/jpeg_file.h"
#include "imagefiles/png_file.h"
#include "raster/bitmap_turn.h"
#include "raster/memory_bitmap.h"

#ifdef _WIN32
#include "imagefiles/picture_decoding.h"
#endif

namespace {

typedef std::vector<unsigned char> Bytes;

// How a test TIFF block differs from a plain one holding the orientation.
struct Tiff {
  bool big_endian = false;
  uint32_t orientation = 6;
  uint16_t type = 3;              // SHORT
  uint32_t count = 1;
  uint32_t ifd_offset = 8;
  int entries_before = 0;         // other tags before the orientation
  int claimed_entries = -1;       // the IFD's count, when not the real one
  uint16_t magic = 42;
};

void Put16(Bytes* b, size_t at, uint32_t v, bool big) {
  (*b)[at + (big ? 1 : 0)] = v & 0xFF;
  (*b)[at + (big ? 0 : 1)] = v >> 8 & 0xFF;
}

void Put32(Bytes* b, size_t at, uint32_t v, bool big) {
  for (int i = 0; i < 4; ++i) (*b)[at + (big ? 3 - i : i)] = v >> (8 * i) & 0xFF;
}

Bytes MakeTiff(const Tiff& t) {
  int entries = t.entries_before + 1;
  Bytes b(8 + 2 + 12 * entries + 4, 0);
  b[0] = b[1] = t.big_endian ? 'M' : 'I';
  Put16(&b, 2, t.magic, t.big_endian);
  Put32(&b, 4, t.ifd_offset, t.big_endian);
  Put16(&b, 8, t.claimed_entries >= 0 ? t.claimed_entries : entries, t.big_endian);
  for (int i = 0; i < entries; ++i) {
    size_t e = 10 + 12 * i;
    bool last = i == entries - 1;
    Put16(&b, e, last ? 0x0112 : 0x010F + i, t.big_endian);  // Make, Model, ... then Orientation
    Put16(&b, e + 2, last ? t.type : 2, t.big_endian);
    Put32(&b, e + 4, last ? t.count : 4, t.big_endian);
    Put16(&b, e + 8, last ? t.orientation : 0x4142, t.big_endian);
  }
  return b;
}

Bytes App1(const Bytes& tiff) {
  Bytes b(6 + tiff.size(), 0);
  memcpy(b.data(), "Exif", 4);
  std::copy(tiff.begin(), tiff.end(), b.begin() + 6);
  return b;
}

// Where turned pixel (x, y) of a width x height picture comes from, written
// out from the definition of each orientation.
void SourceOf(int orientation, int width, int height, int x, int y, int* sx, int* sy) {
  switch (orientation) {
    case 2: *sx = width - 1 - x; *sy = y; break;               // mirrored left to right
    case 3: *sx = width - 1 - x; *sy = height - 1 - y; break;  // half a turn
    case 4: *sx = x; *sy = height - 1 - y; break;              // mirrored top to bottom
    case 5: *sx = y; *sy = x; break;                           // along the main diagonal
    case 6: *sx = y; *sy = height - 1 - x; break;              // a quarter turn clockwise
    case 7: *sx = width - 1 - y; *sy = height - 1 - x; break;  // along the other diagonal
    case 8: *sx = width - 1 - y; *sy = x; break;               // a quarter turn anticlockwise
    default: *sx = x; *sy = y; break;
  }
}

MemoryBitmap* Reference(const Bitmap* stored, int orientation) {
  bool swap = orientation >= 5 && orientation <= 8;
  int w = stored->Width(), h = stored->Height();
  MemoryBitmap* turned = new MemoryBitmap(swap ? h : w, swap ? w : h);
  for (int y = 0; y < turned->Height(); ++y) {
    for (int x = 0; x < turned->Width(); ++x) {
      int sx = 0, sy = 0;
      SourceOf(orientation, w, h, x, y, &sx, &sy);
      turned->Bits()[y * turned->RowSpan() + x] = stored->Bits()[sy * stored->RowSpan() + sx];
    }
  }
  return turned;
}

MemoryBitmap* Pattern(int width, int height) {
  MemoryBitmap* bitmap = new MemoryBitmap(width, height);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) bitmap->Bits()[y * bitmap->RowSpan() + x] = 0xFF000000u | y << 12 | x;
  return bitmap;
}

int DifferentPixels(const Bitmap* a, const Bitmap* b) {
  if (!a || !b || a->Width() != b->Width() || a->Height() != b->Height()) return -1;
  int differences = 0;
  for (int y = 0; y < a->Height(); ++y)
    for (int x = 0; x < a->Width(); ++x)
      differences += a->Bits()[y * a->RowSpan() + x] != b->Bits()[y * b->RowSpan() + x];
  return differences;
}

}  // namespace

TEST(ExifOrientation, ReadsOnlyAWellFormedOrientationEntry) {
  // Each value after 0 to 2 other entries, then broken blocks: no turn.
  const struct {
    const char* what;
    void (*make)(Tiff* t, uint32_t value);
    bool valid;
  } cases[] = {
      {"value",
       [](Tiff* t, uint32_t v) {
         t->orientation = v;
         t->entries_before = int(v % 3);
       },
       true},
      {"out of range", [](Tiff* t, uint32_t v) { t->orientation = v == 8 ? 0xFFFF : v == 1 ? 0 : v + 8; }, false},
      {"type LONG", [](Tiff* t, uint32_t) { t->type = 4; }, false},
      {"two values", [](Tiff* t, uint32_t) { t->count = 2; }, false},
      {"magic 43", [](Tiff* t, uint32_t) { t->magic = 43; }, false},
      {"IFD outside", [](Tiff* t, uint32_t v) { t->ifd_offset = v < 4 ? 26 + v : 0xFFFFFFFFu - v; }, false},
      {"entries claimed", [](Tiff* t, uint32_t v) { t->claimed_entries = v < 4 ? 0 : v < 6 ? 2 : 0xFFFF; }, false},
  };
  for (const auto& c : cases) {
    for (bool big : {false, true}) {
      for (uint32_t value = 1; value <= 8; ++value) {
        Tiff t;
        t.big_endian = big;
        c.make(&t, value);
        Bytes tiff = MakeTiff(t);
        std::string what = std::string(c.what) + (big ? " MM " : " II ") + std::to_string(value);
        int expected = c.valid ? int(value) : 1;
        EXPECT_EQ(ExifOrientationOfTiff(tiff.data(), tiff.size()), expected) << what;
        Bytes app1 = App1(tiff);
        EXPECT_EQ(ExifOrientationOfApp1(app1.data(), app1.size()), expected) << what;
        // Cut anywhere before the end of the value: no turn, and nothing
        // read beyond the bytes given (ASan).
        for (size_t size = 0; size < size_t(12 * (t.entries_before + 1) + 8); ++size) {
          Bytes cut(tiff.begin(), tiff.begin() + size);
          EXPECT_EQ(ExifOrientationOfTiff(cut.data(), cut.size()), 1) << what << " cut to " << size;
        }
      }
    }
  }
  // The APP1 payload starts "Exif\0\0"; the TIFF header alone is no Exif.
  Bytes tiff = MakeTiff(Tiff());
  EXPECT_EQ(ExifOrientationOfApp1(tiff.data(), tiff.size()), 1);
  Bytes app1 = App1(tiff);
  app1[5] = ' ';
  EXPECT_EQ(ExifOrientationOfApp1(app1.data(), app1.size()), 1);
  app1 = App1(tiff);
  app1[0] = 'e';
  EXPECT_EQ(ExifOrientationOfApp1(app1.data(), app1.size()), 1);
  EXPECT_EQ(ExifOrientationOfApp1(app1.data(), 6), 1);
  EXPECT_EQ(ExifOrientationOfApp1(nullptr, 0), 1);
  EXPECT_EQ(ExifOrientationOfTiff(nullptr, 100), 1);
  tiff[1] = 'M';  // "IM"
  EXPECT_EQ(ExifOrientationOfTiff(tiff.data(), tiff.size()), 1);
}

TEST(BitmapTurn, EachTurnInBandsGivesItsDefinition) {
  // Sizes across the 64-pixel tiles, bands of several sizes, and a flipped
  // layout is not needed: no bitmap here is flipped.
  for (int orientation = 1; orientation <= 8; ++orientation) {
    for (const int* size : {(const int[]){5, 3}, (const int[]){1, 1}, (const int[]){130, 67}, (const int[]){2, 65}}) {
      for (int band : {1, 7, 64, 1000}) {
        MemoryBitmap* stored = Pattern(size[0], size[1]);
        MemoryBitmap* expected = Reference(stored, orientation);
        MemoryBitmap turned;
        int w = 0, h = 0;
        TurnedSize(orientation, size[0], size[1], &w, &h);
        bool swap = TurnSwapsSides(orientation);
        EXPECT_EQ(swap, orientation >= 5);
        if (swap) turned.Resize(w, h);
        int rows = TurnRowCount(orientation, size[0], size[1]);
        for (int first = 0; first < rows; first += band) TurnBitmapRows(stored, &turned, orientation, first, band);
        std::string what = std::to_string(orientation) + " " + std::to_string(size[0]) + " x " +
                           std::to_string(size[1]) + " in bands of " + std::to_string(band);
        EXPECT_EQ(DifferentPixels(expected, swap ? static_cast<Bitmap*>(&turned) : stored), 0) << what;
        if (swap) {
          // The same from bands of stored rows, as a picture decoded row by
          // row is turned; the last band may be shorter.
          MemoryBitmap banded(w, h), held(size[0], std::min(band, size[1]));
          for (int first = 0; first < size[1]; first += held.Height()) {
            int rows = std::min(held.Height(), size[1] - first);
            for (int y = 0; y < rows; ++y)
              for (int x = 0; x < size[0]; ++x)
                held.Bits()[y * held.RowSpan() + x] = stored->Bits()[(first + y) * stored->RowSpan() + x];
            TurnBitmapBand(&held, rows, first, size[1], &banded, orientation);
          }
          EXPECT_EQ(DifferentPixels(expected, &banded), 0) << what << " from bands";
        }
        delete expected;
        delete stored;
      }
    }
  }
}

namespace {

std::string ScratchPath(const std::string& name) { return std::string(VISTREL_TEST_PICTURES) + "/exif_" + name; }

// A colour JPEG of the pattern's pixels, with an APP1 segment when given.
bool WriteJpeg(const std::string& path, const Bitmap* pixels, const Bytes* app1) {
  FILE* file = fopen(path.c_str(), "wb");
  if (!file) return false;
  jpeg_compress_struct cinfo;
  jpeg_error_mgr errors;
  cinfo.err = jpeg_std_error(&errors);
  jpeg_create_compress(&cinfo);
  jpeg_stdio_dest(&cinfo, file);
  cinfo.image_width = pixels->Width();
  cinfo.image_height = pixels->Height();
  cinfo.input_components = 3;
  cinfo.in_color_space = JCS_RGB;
  jpeg_set_defaults(&cinfo);
  jpeg_start_compress(&cinfo, TRUE);
  if (app1) jpeg_write_marker(&cinfo, JPEG_APP0 + 1, app1->data(), static_cast<unsigned>(app1->size()));
  std::vector<unsigned char> row(size_t(pixels->Width()) * 3);
  while (cinfo.next_scanline < cinfo.image_height) {
    const uint32_t* p = pixels->Bits() + cinfo.next_scanline * pixels->RowSpan();
    for (int x = 0; x < pixels->Width(); ++x) {
      row[x * 3] = p[x] >> 16 & 0xFF;
      row[x * 3 + 1] = p[x] >> 8 & 0xFF;
      row[x * 3 + 2] = p[x] & 0xFF;
    }
    JSAMPROW rows[1] = {row.data()};
    jpeg_write_scanlines(&cinfo, rows, 1);
  }
  jpeg_finish_compress(&cinfo);
  jpeg_destroy_compress(&cinfo);
  return fclose(file) == 0;
}

// An RGBA PNG of the pixels with an eXIf chunk (before the image data).
bool WritePng(const std::string& path, const Bitmap* pixels, const Bytes& exif, bool interlaced) {
  FILE* file = fopen(path.c_str(), "wb");
  if (!file) return false;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    fclose(file);
    return false;
  }
  png_init_io(png, file);
  png_set_IHDR(png, info, pixels->Width(), pixels->Height(), 8, PNG_COLOR_TYPE_RGB_ALPHA,
               interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  png_set_eXIf_1(png, info, static_cast<png_uint_32>(exif.size()), const_cast<png_bytep>(exif.data()));
  png_write_info(png, info);
  int passes = png_set_interlace_handling(png);
  std::vector<unsigned char> row(size_t(pixels->Width()) * 4);
  for (int y = 0; y < passes * pixels->Height(); ++y) {
    const uint32_t* p = pixels->Bits() + (y % pixels->Height()) * pixels->RowSpan();
    for (int x = 0; x < pixels->Width(); ++x) {
      row[x * 4] = p[x] >> 16 & 0xFF;
      row[x * 4 + 1] = p[x] >> 8 & 0xFF;
      row[x * 4 + 2] = p[x] & 0xFF;
      row[x * 4 + 3] = p[x] >> 24;
    }
    png_write_row(png, row.data());
  }
  png_write_end(png, info);
  png_destroy_write_struct(&png, &info);
  return fclose(file) == 0;
}

}  // namespace

TEST(ExifOrientation, JpegAndPngPicturesComeOutUpright) {
  // Larger than one step of work, so that the turn takes several; not square.
  const int width = 600, height = 440;
  MemoryBitmap* pattern = Pattern(width, height);
  std::string plain_jpeg = ScratchPath("plain.jpg");
  ASSERT_TRUE(WriteJpeg(plain_jpeg, pattern, nullptr));
  // The same compressed data decode to the same pixels, with a tag or without.
  Bitmap* stored = LoadJpegFile(plain_jpeg.c_str());
  ASSERT_NE(stored, nullptr);
  for (int orientation = 1; orientation <= 8; ++orientation) {
    Tiff t;
    t.orientation = orientation;
    t.big_endian = orientation % 2 == 0;
    Bytes tiff = MakeTiff(t);
    Bytes app1 = App1(tiff);
    std::string jpeg = ScratchPath(std::to_string(orientation) + ".jpg");
    std::string png = ScratchPath(std::to_string(orientation) + ".png");
    ASSERT_TRUE(WriteJpeg(jpeg, pattern, &app1));
    // Odd orientations interlaced: the rows are complete only in the last
    // pass, and a quarter turn waits for them.
    ASSERT_TRUE(WritePng(png, pattern, tiff, orientation % 2 == 1));
    MemoryBitmap* expected_jpeg = Reference(stored, orientation);
    MemoryBitmap* expected_png = Reference(pattern, orientation);
    std::string what = "orientation " + std::to_string(orientation);

    Bitmap* picture = LoadJpegFile(jpeg.c_str());
    EXPECT_EQ(DifferentPixels(expected_jpeg, picture), 0) << what << " JPEG";
    delete picture;
    // Into a target: the target itself, upright.
    MemoryBitmap target(7, 5);
    EXPECT_EQ(LoadJpegFile(jpeg.c_str(), &target), &target) << what;
    EXPECT_EQ(DifferentPixels(expected_jpeg, &target), 0) << what << " JPEG into a target";
    picture = LoadPngFile(png.c_str());
    EXPECT_EQ(DifferentPixels(expected_png, picture), 0) << what << " PNG";
    delete picture;
#ifdef _WIN32
    // The one way in: the size told at the start is the upright one, the
    // memory held never above the need, and the same picture.
    for (const std::string& path : {jpeg, png}) {
      PictureDecoding* decoding = StartPictureDecoding(path.c_str(), INT64_MAX);
      ASSERT_NE(decoding, nullptr) << what;
      EXPECT_EQ(PictureDecodingPictureBytes(decoding), BitmapByteCount(expected_png->Width(), expected_png->Height()));
      int64_t need = PictureDecodingNeed(decoding);
      int result = 0, steps = 0;
      int64_t remaining = PictureDecodingRemainingWork(decoding);
      // The work that remains goes down with the turn of the rows as well.
      while ((result = StepPictureDecoding(decoding)) == 0) {
        EXPECT_LE(PictureDecodingHeld(decoding), need) << what;
        EXPECT_LE(PictureDecodingRemainingWork(decoding), remaining) << what;
        remaining = PictureDecodingRemainingWork(decoding);
        ++steps;
      }
      ASSERT_EQ(result, 1) << what;
      picture = TakeDecodedPicture(decoding, nullptr, nullptr);
      bool is_jpeg = path == jpeg;
      EXPECT_EQ(DifferentPixels(is_jpeg ? expected_jpeg : expected_png, picture), 0) << what << " " << path;
      delete picture;
      EXPECT_GE(steps, 1) << what;
    }
    Bitmap* whole = DecodePictureFile(jpeg.c_str(), nullptr, nullptr);
    EXPECT_EQ(DifferentPixels(expected_jpeg, whole), 0) << what;
    delete whole;
#endif
    delete expected_jpeg;
    delete expected_png;
    remove(jpeg.c_str());
    remove(png.c_str());
  }
  delete stored;
  delete pattern;
  remove(plain_jpeg.c_str());
}
