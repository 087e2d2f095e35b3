// Files that claim far more than they carry, or point where they should not
// (made by scripts/make-decoder-test-pictures.py): the image loader guard
// refuses them, the decoders stop within their budgets, and legitimate large
// pictures still open. On the host the decoding runs under the sanitizers
// and each hostile file's memory is measured in a child process; on Windows
// every decoder reads the file as the program does.
#include <gif_lib.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "imagefiles/gif_decoding.h"
#include "imagefiles/gif_memory_source.h"
#include "imagefiles/image_loader_guard.h"
#include "imagefiles/jpeg_file.h"
#include "imagefiles/png_file.h"
#include "raster/memory_bitmap.h"

#ifdef _WIN32
#include "imagefiles/bmp_file.h"
#include "imagefiles/gif_file.h"
#include "imagefiles/gif_frame_reader.h"
#include "imagefiles/ico_file.h"
#else
#include <jpeglib.h>
#include <png.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace {

typedef std::vector<unsigned char> Bytes;

std::string Picture(const char* name) { return std::string(VISTREL_TEST_PICTURES) + "/" + name; }

Bytes ReadPicture(const char* name) {
  Bytes bytes;
  FILE* file = fopen(Picture(name).c_str(), "rb");
  if (!file) return bytes;
  unsigned char chunk[65536];
  size_t n;
  while ((n = fread(chunk, 1, sizeof chunk, file)) > 0) bytes.insert(bytes.end(), chunk, chunk + n);
  fclose(file);
  return bytes;
}

uint32_t Pixel(Bitmap* bitmap, int x, int y) { return bitmap->Bits()[y * bitmap->RowSpan() + x]; }

// The GIF colours of the picture script, as pixels.
uint32_t GifColour(int index) {
  static const uint32_t colours[] = {0xFF000000, 0xFFFFFFFF, 0xFF0A141E, 0xFFC80000,
                                     0xFF00C800, 0xFF0000C8, 0xFF323C46, 0xFF5A5046};
  return colours[index];
}

// ---------------------------------------------------------------- guard

TEST(ImageLoaderGuardTest, WellFormedFilesPass) {
  for (const char* name : {"rgb24.bmp", "rgba32.bmp", "rle8.bmp", "rle_fits.bmp"}) {
    Bytes bytes = ReadPicture(name);
    EXPECT_TRUE(BmpBytesFit(bytes.data(), bytes.size())) << name;
    EXPECT_TRUE(BmpFitsItsFile(Picture(name).c_str())) << name;
  }
  // far_good.ico holds its image past the first 64 KiB; png_inside.ico a PNG.
  for (const char* name : {"mask.ico", "half.ico", "only48.ico", "far_good.ico", "png_inside.ico"}) {
    Bytes bytes = ReadPicture(name);
    EXPECT_TRUE(IcoBytesFit(bytes.data(), bytes.size())) << name;
    EXPECT_TRUE(IcoFitsItsFile(Picture(name).c_str())) << name;
  }
}

TEST(ImageLoaderGuardTest, HostileFilesAreRefused) {
  // Sizes whose row bytes overflow 64 bits; 4 GB of RLE pixels from 1 KB.
  for (const char* name : {"overflow.bmp", "rle_huge.bmp"}) {
    Bytes bytes = ReadPicture(name);
    ASSERT_FALSE(bytes.empty()) << name;
    EXPECT_FALSE(BmpBytesFit(bytes.data(), bytes.size())) << name;
    EXPECT_FALSE(BmpFitsItsFile(Picture(name).c_str())) << name;
  }
  // An overflowing header past the first 64 KiB, an entry shorter than its
  // header at the end of the file, a PNG whose IHDR claims 31000 x 31000.
  for (const char* name : {"far_overflow.ico", "short_entry.ico", "png_inside_huge.ico"}) {
    Bytes bytes = ReadPicture(name);
    ASSERT_FALSE(bytes.empty()) << name;
    EXPECT_FALSE(IcoBytesFit(bytes.data(), bytes.size())) << name;
    EXPECT_FALSE(IcoFitsItsFile(Picture(name).c_str())) << name;
  }
}

TEST(ImageLoaderGuardTest, EveryIconEntryIsChecked) {
  // far_good.ico with its only image cut by one byte, and with its entry's
  // size made too small for the header.
  Bytes bytes = ReadPicture("far_good.ico");
  ASSERT_FALSE(bytes.empty());
  EXPECT_FALSE(IcoBytesFit(bytes.data(), bytes.size() - 1));
  Bytes short_entry = bytes;
  short_entry[6 + 8] = 39;
  short_entry[6 + 9] = short_entry[6 + 10] = short_entry[6 + 11] = 0;
  EXPECT_FALSE(IcoBytesFit(short_entry.data(), short_entry.size()));
  // A directory that promises more entries than the file holds.
  Bytes many = bytes;
  many[4] = 200;
  EXPECT_FALSE(IcoBytesFit(many.data(), many.size()));
}

// ---------------------------------------------------------------- GIF

// A GIF file in memory, with the frame reader's state.
struct MemoryGif {
  Bytes bytes;
  GifMemorySource source;
  GifFileType* gif;
  size_t rewind;
  int32_t state, elapsed;
  explicit MemoryGif(const char* name) : bytes(ReadPicture(name)), source(), gif(nullptr), rewind(0), state(0), elapsed(0) {
    source.bytes = bytes.data();
    source.size = bytes.size();
    gif = OpenGifFromMemory(&source);
    rewind = source.position;
  }
  ~MemoryGif() {
    int error = 0;
    if (gif) DGifCloseFile(gif, &error);
  }
  int Step(Bitmap* target) { return StepGifFrame(gif, target, &state, &elapsed); }
};

bool AllPixels(Bitmap* bitmap, uint32_t value) {
  for (int y = 0; y < bitmap->Height(); ++y)
    for (int x = 0; x < bitmap->Width(); ++x)
      if (Pixel(bitmap, x, y) != value) return false;
  return true;
}

TEST(GifBudgetTest, RowsBelowTheScreenAreNotDecompressed) {
  // Frame 1 is 120 x 1000 on a 40 x 30 screen; below row 30 its data cannot
  // be decoded. Frame 2 comes from the right place only when those rows
  // were skipped, not decompressed.
  MemoryGif g("tall_image.gif");
  ASSERT_NE(g.gif, nullptr);
  MemoryBitmap frame;
  EXPECT_EQ(g.Step(&frame), 100);
  EXPECT_TRUE(AllPixels(&frame, GifColour(3)));
  EXPECT_EQ(g.Step(&frame), 100);
  EXPECT_TRUE(AllPixels(&frame, GifColour(4)));
  EXPECT_EQ(g.Step(&frame), GIF_FRAME_END);

  MemoryGif whole("tall_image.gif");
  Bitmap* still = DecodeGifImages(whole.gif, nullptr);
  ASSERT_NE(still, nullptr);
  EXPECT_TRUE(AllPixels(still, GifColour(3)));
  delete still;
}

TEST(GifBudgetTest, ImagesFarWiderThanTheScreenAreRefused) {
  MemoryGif whole("wide_image.gif");
  ASSERT_NE(whole.gif, nullptr);
  EXPECT_EQ(DecodeGifImages(whole.gif, nullptr), nullptr);

  MemoryGif g("wide_second_frame.gif");
  MemoryBitmap frame;
  EXPECT_EQ(g.Step(&frame), 100);
  EXPECT_TRUE(AllPixels(&frame, GifColour(4)));
  EXPECT_EQ(g.Step(&frame), GIF_FRAME_BAD_DESCRIPTOR);
  EXPECT_EQ(g.state, GIF_FRAME_BAD_DESCRIPTOR);
  EXPECT_EQ(g.Step(&frame), GIF_FRAME_STOPPED);
  // Rewound, the animation plays again from its first frame.
  g.source.position = g.rewind;
  g.state = 0;
  EXPECT_EQ(g.Step(&frame), 100);
}

TEST(GifBudgetTest, OneFrameDecodesAtMostItsBudget) {
  // 300 images of 64 x 64 without delays: the budget of 4 screens and a
  // megapixel (1,064,960 pixels) takes 260 of them; image 259 is the last
  // one drawn, of colour 1 + 259 % 7.
  MemoryGif g("many_images.gif");
  ASSERT_NE(g.gif, nullptr);
  EXPECT_EQ(GifDecodeBudget(g.gif), 4 * 64 * 64 + 1048576);
  Bitmap* still = DecodeGifImages(g.gif, nullptr);
  ASSERT_NE(still, nullptr);
  EXPECT_TRUE(AllPixels(still, GifColour(1 + 259 % 7)));
  delete still;
}

TEST(GifBudgetTest, LargeScreensAreNotAnimated) {
  MemoryGif big("animated_8000.gif");
  ASSERT_NE(big.gif, nullptr);
  MemoryBitmap frame;
  EXPECT_EQ(big.Step(&frame), GIF_FRAME_BAD_SIZE);
  EXPECT_EQ(big.state, 0);
  EXPECT_EQ(frame.Width(), 0);  // nothing was allocated for it
  // The still picture opens all the same.
  MemoryGif still_gif("animated_8000.gif");
  Bitmap* still = DecodeGifImages(still_gif.gif, nullptr);
  ASSERT_NE(still, nullptr);
  EXPECT_EQ(still->Width(), 8000);
  EXPECT_EQ(Pixel(still, 1, 1), GifColour(6));
  delete still;

  MemoryGif animated("animated_4096.gif");
  EXPECT_EQ(animated.Step(&frame), 100);
  EXPECT_EQ(animated.Step(&frame), 100);
  EXPECT_EQ(Pixel(&frame, 0, 0), GifColour(7));
  EXPECT_EQ(Pixel(&frame, 1, 1), GifColour(6));
}

// ---------------------------------------------------------------- PNG

#ifdef _WIN32
Bitmap* LoadPng(const char* name) { return LoadPngFile(Picture(name).c_str()); }
#else
Bitmap* LoadPng(const char* name) {
  FILE* file = fopen(Picture(name).c_str(), "rb");
  if (!file) return nullptr;
  Bitmap* bitmap = DecodePngStream(file, nullptr);
  fclose(file);
  return bitmap;
}
#endif

TEST(PngBudgetTest, UnusedChunksAreSkippedAndChangeNothing) {
  // Chunks claiming 2 GB end the file early: nothing to show, and (see
  // LargestAllocation below) no buffer of their claimed length.
  for (const char* name : {"exif_huge.png", "text_huge.png"}) {
    Bitmap* bitmap = LoadPng(name);
    EXPECT_EQ(bitmap, nullptr) << name;
    delete bitmap;
  }
  Bitmap* plain = LoadPng("plain.png");
  Bitmap* with_chunks = LoadPng("small_chunks.png");
  ASSERT_NE(plain, nullptr);
  ASSERT_NE(with_chunks, nullptr);
  ASSERT_EQ(with_chunks->Width(), 16);
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 16; ++x) EXPECT_EQ(Pixel(with_chunks, x, y), Pixel(plain, x, y));
  EXPECT_EQ(Pixel(plain, 2, 3), 0xFF3C5A5Au);
  delete plain;
  delete with_chunks;
}

// ---------------------------------------------------------------- JPEG

#ifdef _WIN32
Bitmap* LoadJpeg(const char* name) { return LoadJpegFile(Picture(name).c_str()); }
#else
Bitmap* LoadJpeg(const char* name) {
  FILE* file = fopen(Picture(name).c_str(), "rb");
  if (!file) return nullptr;
  Bitmap* bitmap = DecodeJpegStream(file, nullptr);
  fclose(file);
  return bitmap;
}
#endif

TEST(JpegBudgetTest, ClaimsBeyondTheLimitsFailCleanly) {
  // 65500 x 65500 fits no bitmap: refused right after the header. The
  // 23000 x 23000 one would fit a bitmap, but its coefficients (3.2 GB) do
  // not fit libjpeg's working memory. More than 500 scans: stopped.
  for (const char* name : {"progressive_65500.jpg", "baseline_65500.jpg", "progressive_23000.jpg", "many_scans.jpg"}) {
    Bitmap* bitmap = LoadJpeg(name);
    EXPECT_EQ(bitmap, nullptr) << name;
    delete bitmap;
  }
  // The same first scan 20 times over is a damaged file that still decodes.
  Bitmap* bitmap = LoadJpeg("few_scans.jpg");
  ASSERT_NE(bitmap, nullptr);
  EXPECT_EQ(bitmap->Width(), 16);
  delete bitmap;
}

TEST(JpegBudgetTest, LargerPicturesTakeFewerScans) {
  // 4096 x 4096 is twice 8 megapixels: 250 scans at the most.
  Bitmap* bitmap = LoadJpeg("scans_4096_300.jpg");
  EXPECT_EQ(bitmap, nullptr);
  delete bitmap;
  bitmap = LoadJpeg("scans_4096_200.jpg");
  ASSERT_NE(bitmap, nullptr);
  EXPECT_EQ(bitmap->Width(), 4096);
  delete bitmap;
}

#ifndef _WIN32

// Peak memory a decoding adds, in MB, measured in a child process.
long ChildPeakMegabytes(void (*decode)(const char* name), const char* name) {
  int pipe_ends[2];
  if (pipe(pipe_ends) != 0) return -1;
  pid_t child = fork();
  if (child == 0) {
    struct rusage before, after;
    getrusage(RUSAGE_SELF, &before);
    decode(name);
    getrusage(RUSAGE_SELF, &after);
    long megabytes = (after.ru_maxrss - before.ru_maxrss) / 1024;
    if (write(pipe_ends[1], &megabytes, sizeof megabytes) != sizeof megabytes) _exit(2);
    _exit(0);
  }
  close(pipe_ends[1]);
  long megabytes = -1;
  if (read(pipe_ends[0], &megabytes, sizeof megabytes) != sizeof megabytes) megabytes = -1;
  close(pipe_ends[0]);
  int status = 0;
  waitpid(child, &status, 0);
  return megabytes;
}

void DecodeJpegNamed(const char* name) { delete LoadJpeg(name); }
void DecodePngNamed(const char* name) { delete LoadPng(name); }

void DecodeGifNamed(const char* name) {
  MemoryGif g(name);
  delete DecodeGifImages(g.gif, nullptr);
  MemoryGif frames(name);
  MemoryBitmap frame;
  for (int i = 0; i < 1000 && frames.Step(&frame) >= 0; ++i) {
  }
}

// The largest single allocation a decoding makes, seen through the
// sanitizer's allocation hooks: a reservation counts on Windows even when
// its pages are never touched (and so never show in the resident size).
size_t g_largest_allocation = 0;
void NoteAllocation(const volatile void*, size_t size) {
  if (size > g_largest_allocation) g_largest_allocation = size;
}
void NoteFree(const volatile void*) {}

}  // namespace
extern "C" int __sanitizer_install_malloc_and_free_hooks(void (*)(const volatile void*, size_t),
                                                          void (*)(const volatile void*)) __attribute__((weak));
namespace {

long LargestAllocationMegabytes(void (*decode)(const char* name), const char* name) {
  static bool installed = __sanitizer_install_malloc_and_free_hooks &&
                          __sanitizer_install_malloc_and_free_hooks(NoteAllocation, NoteFree) != 0;
  if (!installed) return 0;
  g_largest_allocation = 0;
  decode(name);
  return static_cast<long>(g_largest_allocation >> 20);
}

TEST(HostileFileMemoryTest, NoLargeReservations) {
  for (const char* name : {"progressive_65500.jpg", "baseline_65500.jpg", "progressive_23000.jpg", "many_scans.jpg"})
    EXPECT_LT(LargestAllocationMegabytes(DecodeJpegNamed, name), 64) << name;
  for (const char* name : {"exif_huge.png", "text_huge.png", "huge.png"})
    EXPECT_LT(LargestAllocationMegabytes(DecodePngNamed, name), 64) << name;
  for (const char* name : {"tall_image.gif", "wide_image.gif", "many_images.gif", "animated_4096.gif"})
    EXPECT_LT(LargestAllocationMegabytes(DecodeGifNamed, name), 80) << name;
}

TEST(HostileFileMemoryTest, SmallFilesCostLittle) {
  for (const char* name : {"progressive_65500.jpg", "baseline_65500.jpg", "progressive_23000.jpg", "many_scans.jpg"}) {
    long megabytes = ChildPeakMegabytes(DecodeJpegNamed, name);
    EXPECT_GE(megabytes, 0) << name;
    EXPECT_LT(megabytes, 200) << name;
  }
  for (const char* name : {"exif_huge.png", "text_huge.png"}) {
    long megabytes = ChildPeakMegabytes(DecodePngNamed, name);
    EXPECT_GE(megabytes, 0) << name;
    EXPECT_LT(megabytes, 200) << name;
  }
  for (const char* name : {"tall_image.gif", "wide_image.gif", "many_images.gif", "animated_4096.gif"}) {
    long megabytes = ChildPeakMegabytes(DecodeGifNamed, name);
    EXPECT_GE(megabytes, 0) << name;
    EXPECT_LT(megabytes, 200) << name;
  }
}

// ---------------------------------------------------------------- large pictures

const int LARGE = 20000;

std::string TempPath(const char* suffix) {
  return "/tmp/vistrel_hostile_" + std::to_string(getpid()) + suffix;
}

// A 20000 x 20000 baseline JPEG, written row by row: stripes of 8 rows.
bool WriteLargeJpeg(const std::string& path) {
  FILE* file = fopen(path.c_str(), "wb");
  if (!file) return false;
  jpeg_compress_struct cinfo;
  jpeg_error_mgr errors;
  cinfo.err = jpeg_std_error(&errors);
  jpeg_create_compress(&cinfo);
  jpeg_stdio_dest(&cinfo, file);
  cinfo.image_width = LARGE;
  cinfo.image_height = LARGE;
  cinfo.input_components = 3;
  cinfo.in_color_space = JCS_RGB;
  jpeg_set_defaults(&cinfo);
  jpeg_set_quality(&cinfo, 50, TRUE);
  jpeg_start_compress(&cinfo, TRUE);
  std::vector<unsigned char> row(LARGE * 3);
  while (cinfo.next_scanline < cinfo.image_height) {
    unsigned char level = (cinfo.next_scanline / 8) % 2 ? 200 : 40;
    memset(row.data(), level, row.size());
    JSAMPROW rows[1] = {row.data()};
    jpeg_write_scanlines(&cinfo, rows, 1);
  }
  jpeg_finish_compress(&cinfo);
  jpeg_destroy_compress(&cinfo);
  fclose(file);
  return true;
}

bool WriteLargePng(const std::string& path) {
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
  png_set_compression_level(png, 1);
  png_set_IHDR(png, info, LARGE, LARGE, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  std::vector<unsigned char> row(LARGE * 3);
  for (int y = 0; y < LARGE; ++y) {
    memset(row.data(), y % 2 ? 200 : 40, row.size());
    png_write_row(png, row.data());
  }
  png_write_end(png, info);
  png_destroy_write_struct(&png, &info);
  fclose(file);
  return true;
}

TEST(LargePictureTest, TwentyThousandSquareJpegAndPngOpen) {
  std::string jpeg = TempPath(".jpg"), png = TempPath(".png");
  ASSERT_TRUE(WriteLargeJpeg(jpeg));
  FILE* file = fopen(jpeg.c_str(), "rb");
  Bitmap* bitmap = DecodeJpegStream(file, nullptr);
  fclose(file);
  remove(jpeg.c_str());
  ASSERT_NE(bitmap, nullptr);
  EXPECT_EQ(bitmap->Width(), LARGE);
  EXPECT_EQ(bitmap->Height(), LARGE);
  EXPECT_NEAR(static_cast<int>(Pixel(bitmap, LARGE - 1, 3) & 0xFF), 40, 3);
  EXPECT_NEAR(static_cast<int>(Pixel(bitmap, LARGE - 1, LARGE - 4) & 0xFF), 200, 3);
  delete bitmap;

  ASSERT_TRUE(WriteLargePng(png));
  file = fopen(png.c_str(), "rb");
  bitmap = DecodePngStream(file, nullptr);
  fclose(file);
  remove(png.c_str());
  ASSERT_NE(bitmap, nullptr);
  EXPECT_EQ(bitmap->Width(), LARGE);
  EXPECT_EQ(Pixel(bitmap, LARGE - 1, LARGE - 1), 0xFFC8C8C8u);
  EXPECT_EQ(Pixel(bitmap, 0, LARGE - 2), 0xFF282828u);
  delete bitmap;
}

#else

// ---------------------------------------------------------------- Windows loader

TEST(HostileFileLoaderTest, GuardedFilesThroughTheWindowsLoader) {
  for (const char* name : {"overflow.bmp", "rle_huge.bmp"}) EXPECT_EQ(LoadBmpFile(Picture(name).c_str()), nullptr) << name;
  for (const char* name : {"far_overflow.ico", "short_entry.ico", "png_inside_huge.ico"})
    EXPECT_EQ(LoadIcoFile(Picture(name).c_str()), nullptr) << name;
  Bitmap* far = LoadIcoFile(Picture("far_good.ico").c_str());
  ASSERT_NE(far, nullptr);
  EXPECT_EQ(far->Width(), 16);
  EXPECT_EQ(Pixel(far, 8, 8), 0xFF0AC81Eu);
  delete far;
  Bitmap* rle = LoadBmpFile(Picture("rle_fits.bmp").c_str());
  ASSERT_NE(rle, nullptr);
  EXPECT_EQ(rle->Width(), 2000);
  delete rle;
}

TEST(HostileFileLoaderTest, GifBudgetsThroughTheFileReader) {
  GifFrameReader* reader = OpenGifFrameReader(Picture("tall_image.gif").c_str());
  ASSERT_NE(reader, nullptr);
  MemoryBitmap frame;
  EXPECT_EQ(ReadNextGifFrame(reader, &frame), 100);
  EXPECT_EQ(ReadNextGifFrame(reader, &frame), 100);
  EXPECT_TRUE(AllPixels(&frame, GifColour(4)));
  CloseGifFrameReader(reader);
  EXPECT_EQ(LoadGifFile(Picture("wide_image.gif").c_str()), nullptr);
  reader = OpenGifFrameReader(Picture("animated_8000.gif").c_str());
  ASSERT_NE(reader, nullptr);
  EXPECT_EQ(ReadNextGifFrame(reader, &frame), GIF_FRAME_BAD_SIZE);
  CloseGifFrameReader(reader);
}

#endif

}  // namespace
