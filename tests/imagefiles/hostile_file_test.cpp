// Files that claim far more than they carry, or point where they should not
// (made by scripts/make-decoder-test-pictures.py): the image loader guard
// refuses them, the decoders refuse claims their file cannot hold and stop
// within their budgets, and legitimate large pictures still open. On the host the decoding runs under the sanitizers
// and each hostile file's memory is measured in a child process; on Windows
// every decoder reads the file as the program does.
#include <gif_lib.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "imagefiles/bmp_decoding.h"
#include "imagefiles/gif_decoding.h"
#include "imagefiles/gif_memory_source.h"
#include "imagefiles/image_loader_guard.h"
#include "imagefiles/jpeg_file.h"
#include "imagefiles/picture_bounds.h"
#include "imagefiles/picture_decoding.h"
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
  // Sizes whose row bytes overflow 64 bits; 4 GB of RLE pixels from 1 KB;
  // 23000 x 23000 RLE pixels from 1 KB.
  for (const char* name : {"overflow.bmp", "rle_huge.bmp", "rle8_23000.bmp"}) {
    Bytes bytes = ReadPicture(name);
    ASSERT_FALSE(bytes.empty()) << name;
    EXPECT_FALSE(BmpBytesFit(bytes.data(), bytes.size())) << name;
    EXPECT_FALSE(BmpFitsItsFile(Picture(name).c_str())) << name;
    // Our own reader refuses them the same way, before anything is sized.
    BmpReading reading = BMP_BY_ROWS;
    EXPECT_EQ(StartBmpDecoding(fopen(Picture(name).c_str(), "rb"), true, INT64_MAX, &reading), nullptr) << name;
    EXPECT_EQ(reading, BMP_REFUSED) << name;
  }
  // An overflowing header past the first 64 KiB, an entry shorter than its
  // header at the end of the file, a PNG whose IHDR claims 31000 x 31000,
  // one claiming 4096 x 4096 in 70 bytes.
  for (const char* name : {"far_overflow.ico", "short_entry.ico", "png_inside_huge.ico", "png_inside_unbacked.ico"}) {
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

// ---------------------------------------------------------------- what a file can back

TEST(PictureBoundsTest, LeastFilesPerFormat) {
  // JPEG: a bit per block. PNG: 1032 bytes of rows per byte, and 51 bytes
  // of signature, chunks and zlib framing; interlaced, every pass's rows.
  EXPECT_EQ(JpegLeastBytes(512 * 512 + 2 * 256 * 256), 49152);
  EXPECT_EQ(JpegLeastBytes(1), 1);
  EXPECT_EQ(PngLeastBytes(4096, 4096, 1, 0, false), 51 + (4096 * 513 + 1031) / 1032);
  EXPECT_EQ(PngLeastBytes(1, 1, 8, 2, true), 52);
  EXPECT_EQ(PngLeastBytes(8, 8, 8, 6, true), 51 + 1);  // 15 rows, 256 pixel bytes
  EXPECT_EQ(PngLeastBytes(8, 8, 8, 6, true) , PngLeastBytes(8, 8, 8, 6, false));
  EXPECT_EQ(PngLeastBytes(0x7FFFFFFF, 0x7FFFFFFF, 16, 6, true), 51 + (INT64_MAX / 4 + 1031) / 1032);
  // GIF: 8192 pixels per 3 bytes; the screen and RLE BMPs: 2^27 pixels.
  EXPECT_TRUE(GifImageFitsFile(8192, 3));
  EXPECT_FALSE(GifImageFitsFile(8193, 3));
  EXPECT_TRUE(GifImageFitsFile(int64_t(1) << 40, INT64_MAX));
  EXPECT_TRUE(UnbackedPictureFits(16384, 8192));
  EXPECT_FALSE(UnbackedPictureFits(16384, 8193));
  EXPECT_FALSE(UnbackedPictureFits(0x7FFFFFFF, 0x7FFFFFFF));
  // Only the part of the first image on the screen counts.
  EXPECT_TRUE(GifScreenFitsFile(100, 100, 0, 0, 100, 30, 2));
  EXPECT_FALSE(GifScreenFitsFile(100, 100, 0, 0, 100, 30, 1));
  EXPECT_TRUE(GifScreenFitsFile(100, 100, -65535, 90, 65535 + 3, 65535, 1));  // 3 x 10 shown
  EXPECT_TRUE(GifScreenFitsFile(100, 100, 200, 0, 65535, 65535, 0));
  EXPECT_FALSE(GifScreenFitsFile(16384, 8193, 0, 0, 1, 1, INT64_MAX));
}

#ifdef _WIN32
Bitmap* LoadNamed(Bitmap* (*load)(const char*, Bitmap*), const char* name) { return load(Picture(name).c_str(), nullptr); }
#else
Bitmap* LoadNamed(Bitmap* (*decode)(FILE*, Bitmap*), const char* name) {
  FILE* file = fopen(Picture(name).c_str(), "rb");
  if (!file) return nullptr;
  Bitmap* bitmap = decode(file, nullptr);
  fclose(file);
  return bitmap;
}
#endif

Bitmap* DecodeGifBytes(const char* name) {
  Bytes bytes = ReadPicture(name);
  GifMemorySource source = {bytes.data(), bytes.size(), 0, {}};
  GifFileType* gif = OpenGifFromMemory(&source);
  if (!gif) return nullptr;
  Bitmap* bitmap = DecodeGifImages(gif, nullptr);
  int error = 0;
  DGifCloseFile(gif, &error);
  return bitmap;
}

TEST(PictureBoundsTest, FilesJustAbleToHoldTheirClaimOpen) {
  // Each file claims 4096 x 4096 (the BMPs 16384 x 8192 and one row more);
  // the unable one is a byte short of what that takes, or a row too many.
  Bytes able_png = ReadPicture("bound_able.png");
  ASSERT_FALSE(able_png.empty());
  EXPECT_EQ(static_cast<int64_t>(ReadPicture("bound_able.jpg").size()), JpegLeastBytes(512 * 512 + 2 * 256 * 256));
  EXPECT_GE(static_cast<int64_t>(able_png.size()), PngLeastBytes(4096, 4096, 1, 0, false));
  EXPECT_EQ(static_cast<int64_t>(ReadPicture("bound_able.gif").size()), 4096 * 4096 * 3 / 8192);
#ifdef _WIN32
  Bitmap* (*jpeg)(const char*, Bitmap*) = LoadJpegFile;
  Bitmap* (*png)(const char*, Bitmap*) = LoadPngFile;
#else
  Bitmap* (*jpeg)(FILE*, Bitmap*) = DecodeJpegStream;
  Bitmap* (*png)(FILE*, Bitmap*) = DecodePngStream;
#endif
  Bitmap* opened[3] = {LoadNamed(jpeg, "bound_able.jpg"), LoadNamed(png, "bound_able.png"),
                       DecodeGifBytes("bound_able.gif")};
  for (Bitmap* bitmap : opened) {
    ASSERT_NE(bitmap, nullptr);
    EXPECT_EQ(bitmap->Width(), 4096);
    EXPECT_EQ(bitmap->Height(), 4096);
  }
  EXPECT_EQ(Pixel(opened[1], 4095, 4095), 0xFF000000u);
  EXPECT_EQ(Pixel(opened[2], 4095, 0), GifColour(3));  // the one row there is
  EXPECT_EQ(Pixel(opened[2], 0, 1), 0u);               // then the background
  for (Bitmap* bitmap : opened) delete bitmap;
  EXPECT_EQ(LoadNamed(jpeg, "bound_unable.jpg"), nullptr);
  EXPECT_EQ(LoadNamed(png, "bound_unable.png"), nullptr);
  EXPECT_EQ(DecodeGifBytes("bound_unable.gif"), nullptr);

  Bytes able_bmp = ReadPicture("bound_able.bmp"), unable_bmp = ReadPicture("bound_unable.bmp");
  EXPECT_TRUE(BmpBytesFit(able_bmp.data(), able_bmp.size()));
  EXPECT_FALSE(BmpBytesFit(unable_bmp.data(), unable_bmp.size()));
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

// The wide first image on its 100 x 100 screen: columns 0-49 of its 20
// rows in index 3, 50-99 in index 4, the rest of the screen background.
void ExpectWideFirstImageClipped(Bitmap* bitmap) {
  ASSERT_NE(bitmap, nullptr);
  ASSERT_EQ(bitmap->Width(), 100);
  ASSERT_EQ(bitmap->Height(), 100);
  for (int y = 0; y < 100; ++y)
    for (int x = 0; x < 100; ++x)
      ASSERT_EQ(Pixel(bitmap, x, y), y >= 20 ? 0u : GifColour(x < 50 ? 3 : 4)) << x << ", " << y;
}

TEST(GifBudgetTest, ImagesWiderThanTheScreenAreClipped) {
  MemoryGif wide("wide_first_image.gif");
  Bitmap* still = DecodeGifImages(wide.gif, nullptr);
  ExpectWideFirstImageClipped(still);
  delete still;
  MemoryBitmap frame;
  MemoryGif frames("wide_first_image.gif");
  EXPECT_EQ(frames.Step(&frame), 0);
  ExpectWideFirstImageClipped(&frame);

  // 60 000 pixels wide, whose data fails after 100 pixels: the screen shows
  // its background, and the frames after it still come.
  MemoryGif damaged("wide_image.gif");
  still = DecodeGifImages(damaged.gif, nullptr);
  ASSERT_NE(still, nullptr);
  EXPECT_TRUE(AllPixels(still, 0u));
  delete still;
  MemoryGif g("wide_second_frame.gif");
  EXPECT_EQ(g.Step(&frame), 100);
  EXPECT_TRUE(AllPixels(&frame, GifColour(4)));
  EXPECT_EQ(g.Step(&frame), 100);
  EXPECT_TRUE(AllPixels(&frame, GifColour(4)));
  // Rewound, the animation plays again from its first frame.
  g.source.position = g.rewind;
  g.state = 0;
  EXPECT_EQ(g.Step(&frame), 100);
}

TEST(GifBudgetTest, ImagesAreChargedWhatIsDrawnOnTheScreen) {
  // Frame 2 is 65535 x 30: its 40 columns on the screen are charged in
  // full, the other 65,495 at a sixteenth, 4,134 pixels a line, and all 30
  // lines fit the budget of 1,053,376 pixels.
  MemoryGif g("budget_second_frame.gif");
  ASSERT_NE(g.gif, nullptr);
  MemoryBitmap frame;
  EXPECT_EQ(g.Step(&frame), 100);
  EXPECT_EQ(g.Step(&frame), 100);
  EXPECT_TRUE(AllPixels(&frame, GifColour(3)));
  EXPECT_EQ(g.Step(&frame), 100);
  EXPECT_TRUE(AllPixels(&frame, GifColour(5)));
  EXPECT_EQ(g.Step(&frame), GIF_FRAME_END);
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

TEST(GifBudgetTest, LargeScreensShowTheirFirstFrameStill) {
  // As the viewer opens a GIF: the whole file, then the first frame over it.
  // Without a delay the first image is composited with the delayed second.
  MemoryGif still_gif("first_frame_8000.gif");
  Bitmap* still = DecodeGifImages(still_gif.gif, nullptr);
  ASSERT_NE(still, nullptr);
  EXPECT_EQ(Pixel(still, 0, 0), GifColour(7));
  MemoryGif big("first_frame_8000.gif");
  EXPECT_EQ(big.Step(still), 0);  // shown still
  ASSERT_EQ(still->Width(), 8000);
  for (int y = 0; y < 8000; ++y)
    for (int x = 0; x < 8000; ++x) {
      uint32_t expected = x < 2 && y < 2 ? GifColour(3 + x + 2 * y) : 0u;
      ASSERT_EQ(Pixel(still, x, y), expected) << x << ", " << y;
    }
  EXPECT_EQ(big.Step(still), GIF_FRAME_BAD_SIZE);  // and never animated
  EXPECT_EQ(Pixel(still, 0, 0), GifColour(3));
  delete still;

  MemoryBitmap frame;
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

// 65500 x 65500 fits no bitmap; the 23000 x 23000 and 16000 x 16000 ones
// would, but their few bytes cannot hold them: all are refused right after
// the header. A thousand scans of a tiny picture: stopped by their work.
const char* const HOSTILE_JPEGS[] = {"progressive_65500.jpg", "baseline_65500.jpg", "progressive_23000.jpg",
                                     "baseline_23000.jpg",    "progressive_16000.jpg", "many_scans.jpg",
                                     "bound_unable.jpg"};

TEST(JpegBudgetTest, ClaimsBeyondTheLimitsFailCleanly) {
  for (const char* name : HOSTILE_JPEGS) {
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

TEST(JpegBudgetTest, ScansAreBoundedByTheirWork) {
  // 4096 x 4096 in 4:4:4, 786,432 blocks, may visit 8 x 64 coefficients a
  // block. Each repeated DC scan counts 2 a block, the nine other scans
  // together about 152: 300 repeats are too many, 100 are not.
  Bitmap* bitmap = LoadJpeg("scans_4096_300.jpg");
  EXPECT_EQ(bitmap, nullptr);
  delete bitmap;
  bitmap = LoadJpeg("scans_4096_100.jpg");
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

void DecodeGifSizedNamed(const char* name) { delete DecodeGifBytes(name); }

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
  // The unable files of the bounds would take a 64 MB bitmap.
  for (const char* name : HOSTILE_JPEGS) EXPECT_LT(LargestAllocationMegabytes(DecodeJpegNamed, name), 16) << name;
  for (const char* name : {"exif_huge.png", "text_huge.png", "huge.png", "bound_unable.png"})
    EXPECT_LT(LargestAllocationMegabytes(DecodePngNamed, name), 16) << name;
  for (const char* name : {"tall_image.gif", "wide_image.gif", "many_images.gif", "animated_4096.gif"})
    EXPECT_LT(LargestAllocationMegabytes(DecodeGifNamed, name), 80) << name;
  EXPECT_LT(LargestAllocationMegabytes(DecodeGifSizedNamed, "bound_unable.gif"), 16);
  EXPECT_LT(LargestAllocationMegabytes(DecodeGifSizedNamed, "screen_23000.gif"), 1);
}

TEST(HostileFileMemoryTest, SmallFilesCostLittle) {
  for (const char* name : HOSTILE_JPEGS) {
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

// An RGB JPEG written row by row; fill_row gives row y its samples.
// How WriteRgbJpeg codes: progressive (libjpeg's default progression),
// without chroma subsampling, arithmetic-coded.
const int JPEG_PROGRESSIVE = 1, JPEG_444 = 2, JPEG_ARITHMETIC = 4;

bool WriteRgbJpeg(const std::string& path, int width, int height, int coding,
                  void (*fill_row)(unsigned char* row, int y, int width, int height)) {
  FILE* file = fopen(path.c_str(), "wb");
  if (!file) return false;
  jpeg_compress_struct cinfo;
  jpeg_error_mgr errors;
  cinfo.err = jpeg_std_error(&errors);
  jpeg_create_compress(&cinfo);
  jpeg_stdio_dest(&cinfo, file);
  cinfo.image_width = width;
  cinfo.image_height = height;
  cinfo.input_components = 3;
  cinfo.in_color_space = JCS_RGB;
  jpeg_set_defaults(&cinfo);
  jpeg_set_quality(&cinfo, 50, TRUE);
  if (coding & JPEG_444) {
    for (int i = 0; i < 3; ++i) cinfo.comp_info[i].h_samp_factor = cinfo.comp_info[i].v_samp_factor = 1;
  }
  if (coding & JPEG_PROGRESSIVE) jpeg_simple_progression(&cinfo);
  if (coding & JPEG_ARITHMETIC) cinfo.arith_code = TRUE;
  jpeg_start_compress(&cinfo, TRUE);
  std::vector<unsigned char> row(size_t(width) * 3);
  while (cinfo.next_scanline < cinfo.image_height) {
    fill_row(row.data(), static_cast<int>(cinfo.next_scanline), width, height);
    JSAMPROW rows[1] = {row.data()};
    jpeg_write_scanlines(&cinfo, rows, 1);
  }
  jpeg_finish_compress(&cinfo);
  jpeg_destroy_compress(&cinfo);
  fclose(file);
  return true;
}

// Stripes of 8 rows.
void FillStripedRow(unsigned char* row, int y, int width, int height) {
  memset(row, (y / 8) % 2 ? 200 : 40, size_t(width) * 3);
}

// Left half red, right half blue, the last rows green.
void FillThreeColourRow(unsigned char* row, int y, int width, int height) {
  bool bottom = y >= height - 16;
  for (int x = 0; x < width; ++x) {
    unsigned char* p = &row[size_t(x) * 3];
    p[0] = !bottom && x < width / 2 ? 220 : 0;
    p[1] = bottom ? 220 : 0;
    p[2] = !bottom && x >= width / 2 ? 220 : 0;
  }
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
  ASSERT_TRUE(WriteRgbJpeg(jpeg, LARGE, LARGE, 0, FillStripedRow));
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

// A valid progressive 4:4:4 JPEG of 20000 x 18000: its coefficients take
// 2 bytes a sample, 2.16 GB, its bitmap 1.44 GB. libjpeg is given all the
// memory it needs. Writing and reading it take about half a minute and
// 4 GB at the peak (on a machine with less than 8 GB free it is skipped):
// the suite runs it as a test of its own, hostile_file_large_progressive_jpeg.
TEST(LargePictureTest, DISABLED_ProgressiveJpegWithCoefficientsAboveTwoGigabytes) {
  const int width = 20000, height = 18000;
  int64_t free_bytes = int64_t(sysconf(_SC_AVPHYS_PAGES)) * sysconf(_SC_PAGESIZE);
  if (free_bytes < (int64_t(8) << 30))
    GTEST_SKIP() << "needs 8 GB of free memory, " << (free_bytes >> 20) << " MB free";
  std::string path = TempPath("_progressive.jpg");
  ASSERT_TRUE(WriteRgbJpeg(path, width, height, JPEG_PROGRESSIVE | JPEG_444, FillThreeColourRow));

  FILE* file = fopen(path.c_str(), "rb");
  Bitmap* bitmap = DecodeJpegStream(file, nullptr);
  fclose(file);
  remove(path.c_str());
  ASSERT_NE(bitmap, nullptr);
  EXPECT_EQ(bitmap->Width(), width);
  EXPECT_EQ(bitmap->Height(), height);
  for (int i = 0; i < 3; ++i) {
    static const int xs[3] = {10, width - 10, width / 2};
    static const int ys[3] = {10, 100, height - 5};
    static const int channel[3] = {16, 0, 8};  // red, blue, green
    uint32_t pixel = Pixel(bitmap, xs[i], ys[i]);
    EXPECT_NEAR(static_cast<int>(pixel >> channel[i] & 0xFF), 220, 8) << i;
    EXPECT_EQ(pixel >> 24, 0xFFu);
  }
  delete bitmap;
}

// ---------------------------------------------------------------- steps bounded by work

Bytes ReadPath(const std::string& path) {
  Bytes bytes;
  FILE* file = fopen(path.c_str(), "rb");
  if (!file) return bytes;
  unsigned char chunk[65536];
  size_t n;
  while ((n = fread(chunk, 1, sizeof chunk, file)) > 0) bytes.insert(bytes.end(), chunk, chunk + n);
  fclose(file);
  return bytes;
}

void WritePath(const std::string& path, const Bytes& bytes) {
  FILE* file = fopen(path.c_str(), "wb");
  ASSERT_NE(file, nullptr);
  fwrite(bytes.data(), 1, bytes.size(), file);
  fclose(file);
}

// A smooth photograph-like texture.
void FillTexturedRow(unsigned char* row, int y, int width, int height) {
  for (int x = 0; x < width; ++x)
    for (int c = 0; c < 3; ++c) row[size_t(x) * 3 + c] = static_cast<unsigned char>((x * (c + 1) + y * 3 + (x ^ y) % 7) & 255);
}

void FillFlatRow(unsigned char* row, int y, int width, int height) { memset(row, 90, size_t(width) * 3); }

// What stepping a decoding to its end gave.
struct Steps {
  int result;
  int count;
  int64_t largest;  // work of the largest step
  int64_t total;
};

template <typename Decoding>
Steps RunSteps(Decoding* d, int (*step)(Decoding*), int64_t (*work)(const Decoding*)) {
  Steps s = {0, 0, 0, 0};
  do {
    s.result = step(d);
    ++s.count;
    s.largest = work(d) > s.largest ? work(d) : s.largest;
    s.total += work(d);
  } while (s.result == 0);
  return s;
}

Steps StepJpegFile(const std::string& path, Bitmap** picture) {
  JpegDecoding* d = StartJpegDecoding(fopen(path.c_str(), "rb"), true, INT64_MAX);
  if (!d) return Steps{-2, 0, 0, 0};
  Steps s = RunSteps(d, StepJpegDecoding, JpegLastStepWork);
  *picture = s.result == 1 ? TakeJpegPicture(d) : nullptr;
  if (s.result != 1) AbandonJpegDecoding(d);
  return s;
}

TEST(StepBoundTest, JpegStepsNeverCoverThePicture) {
  // Flat progressive pictures, where one piece of input covered a whole
  // scan, and a textured arithmetic-coded progressive one, which libjpeg's
  // suspending input could not serve: every step within its work, the
  // pixels those of the plain decoding.
  struct {
    int width, height, coding;
    void (*fill)(unsigned char*, int, int, int);
  } files[] = {{8000, 6000, JPEG_PROGRESSIVE, FillFlatRow},
               {11000, 11000, JPEG_PROGRESSIVE, FillFlatRow},
               {2000, 1500, JPEG_PROGRESSIVE | JPEG_ARITHMETIC, FillTexturedRow}};
  for (const auto& f : files) {
    std::string path = TempPath("_steps.jpg");
    ASSERT_TRUE(WriteRgbJpeg(path, f.width, f.height, f.coding, f.fill));
    Bitmap* picture = nullptr;
    Steps s = StepJpegFile(path, &picture);
    remove(path.c_str());
    std::string what = std::to_string(f.width) + " x " + std::to_string(f.height);
    ASSERT_EQ(s.result, 1) << what;
    EXPECT_LE(s.largest, PICTURE_STEP_PIXELS) << what;
    // Every pixel is put out in steps, every coefficient visited too.
    EXPECT_GE(s.count, 2 * int64_t(f.width) * f.height / PICTURE_STEP_PIXELS) << what;
    EXPECT_NEAR(static_cast<int>(Pixel(picture, f.width - 1, f.height - 1) >> 8 & 0xFF),
                f.fill == FillFlatRow ? 90 : 0, f.fill == FillFlatRow ? 3 : 255) << what;
    delete picture;
  }
}

// The parts of a JPEG: before the first scan, each scan with the tables
// after it, the end.
void SplitScans(const Bytes& data, Bytes* head, std::vector<Bytes>* scans, Bytes* tail) {
  size_t at = 2;
  while (!(data[at] == 0xFF && data[at + 1] == 0xDA)) at += 2 + (data[at + 2] << 8 | data[at + 3]);
  head->assign(data.begin(), data.begin() + static_cast<long>(at));
  std::vector<size_t> starts;
  while (data[at + 1] != 0xD9) {
    if (data[at + 1] == 0xDA) {
      starts.push_back(at);
      at += 2 + (data[at + 2] << 8 | data[at + 3]);
      while (!(data[at] == 0xFF && data[at + 1] != 0 && !(data[at + 1] >= 0xD0 && data[at + 1] <= 0xD7))) ++at;
    } else {
      at += 2 + (data[at + 2] << 8 | data[at + 3]);
    }
  }
  starts.push_back(at);
  for (size_t i = 0; i + 1 < starts.size(); ++i)
    scans->emplace_back(data.begin() + static_cast<long>(starts[i]), data.begin() + static_cast<long>(starts[i + 1]));
  tail->assign(data.begin() + static_cast<long>(at), data.end());
}

TEST(StepBoundTest, ScanBombIsStoppedByItsWork) {
  // A flat 2048 x 2048 progressive picture whose full AC scan of the
  // luminance is repeated 3000 times: a file of some 70 KB that would visit
  // its coefficients 3000 times. It is refused once its scans pass 8 times
  // the picture's own, each step within its work.
  std::string path = TempPath("_bomb.jpg");
  ASSERT_TRUE(WriteRgbJpeg(path, 2048, 2048, JPEG_PROGRESSIVE, FillFlatRow));
  Bytes head, tail;
  std::vector<Bytes> scans;
  SplitScans(ReadPath(path), &head, &scans, &tail);
  ASSERT_EQ(scans.size(), 10u);
  Bytes bomb = head;
  bomb.insert(bomb.end(), scans[0].begin(), scans[0].end());
  for (int i = 0; i < 3000; ++i) bomb.insert(bomb.end(), scans[4].begin(), scans[4].end());  // Y 6-63
  for (size_t i = 1; i < scans.size(); ++i) bomb.insert(bomb.end(), scans[i].begin(), scans[i].end());
  bomb.insert(bomb.end(), tail.begin(), tail.end());
  EXPECT_LT(bomb.size(), 200000u);
  WritePath(path, bomb);
  Bitmap* picture = nullptr;
  Steps s = StepJpegFile(path, &picture);
  remove(path.c_str());
  EXPECT_EQ(s.result, -1);
  EXPECT_EQ(picture, nullptr);
  // The steps count time (a block's coefficients and its setup), some 1.3
  // times the visits of these scans; unstopped, they would take 50 000.
  const int64_t blocks = 256 * 256 + 2 * 128 * 128;
  EXPECT_LE(s.largest, PICTURE_STEP_PIXELS);
  EXPECT_LE(s.total, 2 * JPEG_WORK_MULTIPLE * 64 * blocks);
  EXPECT_LE(s.count, 400);
}

TEST(StepBoundTest, ArithmeticClaimCostsNothingBeyondTheBudget) {
  // 16 x 16 arithmetic-coded progressive, its frame made to claim
  // 11584 x 11584: arithmetic codes give no bound from the file's length,
  // so the memory it would need is what holds it: 537 MB of picture and
  // 403 MB of coefficients, above a budget of 512 MB, refused at once.
  std::string path = TempPath("_arith.jpg");
  ASSERT_TRUE(WriteRgbJpeg(path, 16, 16, JPEG_PROGRESSIVE | JPEG_ARITHMETIC, FillTexturedRow));
  Bytes bytes = ReadPath(path);
  size_t sof = 2;
  while (!(bytes[sof] == 0xFF && bytes[sof + 1] == 0xCA)) sof += 2 + (bytes[sof + 2] << 8 | bytes[sof + 3]);
  bytes[sof + 5] = bytes[sof + 7] = 11584 >> 8;
  bytes[sof + 6] = bytes[sof + 8] = 11584 & 0xFF;
  EXPECT_LT(bytes.size(), 1000u);
  WritePath(path, bytes);
  JpegDecoding* d = StartJpegDecoding(fopen(path.c_str(), "rb"), true, INT64_MAX);
  ASSERT_NE(d, nullptr);
  int64_t picture = BitmapByteCount(11584, 11584);
  EXPECT_GE(JpegWorkingNeed(d), int64_t(1448) * 1448 * 3 / 2 * 128);
  EXPECT_EQ(JpegWorkingHeld(d), JpegWorkingNeed(d) - int64_t(1448) * 1448 * 3 / 2 * 128);  // nothing reserved yet
  AbandonJpegDecoding(d);
  EXPECT_EQ(StartJpegDecoding(fopen(path.c_str(), "rb"), true, 512ll << 20), nullptr);
  EXPECT_GT(picture + int64_t(1448) * 1448 * 3 / 2 * 128, 512ll << 20);
  remove(path.c_str());
}

TEST(StepBoundTest, AMillionPixelRowIsOneStep) {
  // libpng's widest row: each step reads one, the least there is.
  const int width = 1000000;
  std::string path = TempPath("_wide.png");
  FILE* file = fopen(path.c_str(), "wb");
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  png_init_io(png, file);
  png_set_compression_level(png, 1);
  png_set_IHDR(png, info, width, 3, 8, PNG_COLOR_TYPE_RGB_ALPHA, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  std::vector<unsigned char> row(size_t(width) * 4, 0x80);
  for (int y = 0; y < 3; ++y) png_write_row(png, row.data());
  png_write_end(png, info);
  png_destroy_write_struct(&png, &info);
  fclose(file);
  PngDecoding* d = StartPngDecoding(fopen(path.c_str(), "rb"), true, INT64_MAX);
  remove(path.c_str());
  ASSERT_NE(d, nullptr);
  Steps s = RunSteps(d, StepPngDecoding, PngLastStepWork);
  EXPECT_EQ(s.result, 1);
  EXPECT_EQ(s.count, 3);
  EXPECT_LE(s.largest, 4 * width + 64);
  delete TakePngPicture(d);
}

int WriteToBytes(GifFileType* gif, const GifByteType* bytes, int count) {
  Bytes* out = static_cast<Bytes*>(gif->UserData);
  out->insert(out->end(), bytes, bytes + count);
  return count;
}

// A GIF of one image of colour index 3 at (0, 0) on a screen.
Bytes MakeOneImageGif(int screen_width, int screen_height, int width, int height, bool interlaced) {
  Bytes out;
  int error = 0;
  GifFileType* gif = EGifOpen(&out, WriteToBytes, &error);
  GifColorType colours[8] = {{0, 0, 0}, {255, 255, 255}, {10, 20, 30}, {200, 0, 0}, {0, 200, 0}, {0, 0, 200}, {50, 60, 70}, {90, 80, 70}};
  ColorMapObject* map = GifMakeMapObject(8, colours);
  EGifPutScreenDesc(gif, screen_width, screen_height, 8, 0, map);
  EGifPutImageDesc(gif, 0, 0, width, height, interlaced, nullptr);
  std::vector<GifPixelType> line(size_t(width), 3);
  for (int y = 0; y < height; ++y) EGifPutLine(gif, line.data(), width);
  EGifCloseFile(gif, &error);
  GifFreeMapObject(map);
  return out;
}

// The first frame drawn step by step: the steps' largest work.
int64_t StepFirstFrame(const Bytes& bytes, MemoryBitmap* frame, int* result) {
  GifMemorySource source = {bytes.data(), bytes.size(), 0, {}};
  GifFileType* gif = OpenGifFromMemory(&source);
  *result = GIF_FRAME_STOPPED;
  if (!gif) return 0;
  GifFrameDrawing drawing = {};
  int32_t state = 0, elapsed = 0;
  bool done = false;
  int64_t largest = 0;
  while (!done) {
    int64_t work = 0;
    *result = StepGifFrameWork(gif, frame, &state, &elapsed, nullptr, &drawing, PICTURE_STEP_PIXELS, &work, &done);
    largest = work > largest ? work : largest;
  }
  int error = 0;
  DGifCloseFile(gif, &error);
  return largest;
}

TEST(StepBoundTest, GifFramesAreDrawnInStepsOfLines) {
  // A 4-megapixel first frame, and an 8000 x 6000 first image on a 640 x 480
  // screen, which is drawn whole, interlaced or not.
  struct {
    int screen_width, screen_height, width, height;
    bool interlaced;
  } files[] = {{2048, 2048, 2048, 2048, false}, {640, 480, 8000, 6000, false}, {640, 480, 8000, 6000, true}};
  for (const auto& f : files) {
    MemoryBitmap frame;
    int result = 0;
    int64_t largest = StepFirstFrame(MakeOneImageGif(f.screen_width, f.screen_height, f.width, f.height, f.interlaced),
                                     &frame, &result);
    EXPECT_EQ(result, 0);
    EXPECT_LE(largest, PICTURE_STEP_PIXELS + f.width) << f.width;
    EXPECT_TRUE(AllPixels(&frame, GifColour(3))) << f.width << (f.interlaced ? " interlaced" : "");
  }
}

TEST(StepBoundTest, GifScreenBeyondItsFileIsRefusedOnEveryPath) {
  // 29 bytes claiming a 23000 x 23000 screen: every decoding opens the GIF
  // the one way, which refuses it before anything is sized.
  const unsigned char tiny[] = {'G', 'I', 'F', '8', '9', 'a', 0xD8, 0x59, 0xD8, 0x59, 0, 0, 0,
                                0x2C, 0, 0, 0, 0, 1, 0, 1, 0, 0, 2, 2, 0x44, 0x01, 0, 0x3B};
  GifMemorySource source = {tiny, sizeof tiny, 0, {}};
  EXPECT_EQ(OpenGifFromMemory(&source), nullptr);
  // The same picture on a 2000 x 2000 screen opens, the background around
  // its one pixel.
  Bytes small(tiny, tiny + sizeof tiny);
  small[6] = small[8] = 2000 & 0xFF;
  small[7] = small[9] = 2000 >> 8;
  GifMemorySource small_source = {small.data(), small.size(), 0, {}};
  GifFileType* gif = OpenGifFromMemory(&small_source);
  ASSERT_NE(gif, nullptr);
  Bitmap* picture = DecodeGifImages(gif, nullptr);
  ASSERT_NE(picture, nullptr);
  EXPECT_EQ(picture->Width(), 2000);
  delete picture;
  int error = 0;
  DGifCloseFile(gif, &error);
}

#else

// ---------------------------------------------------------------- Windows loader

TEST(HostileFileLoaderTest, GuardedFilesThroughTheWindowsLoader) {
  for (const char* name : {"overflow.bmp", "rle_huge.bmp", "rle8_23000.bmp", "bound_unable.bmp"})
    EXPECT_EQ(LoadBmpFile(Picture(name).c_str()), nullptr) << name;
  for (const char* name : {"far_overflow.ico", "short_entry.ico", "png_inside_huge.ico", "png_inside_unbacked.ico"})
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
  // Two bytes of RLE8 at the cap of 2^27 pixels: the loader makes the picture.
  rle = LoadBmpFile(Picture("bound_able.bmp").c_str());
  ASSERT_NE(rle, nullptr);
  EXPECT_EQ(rle->Width(), 16384);
  EXPECT_EQ(rle->Height(), 8192);
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
  Bitmap* wide = LoadGifFile(Picture("wide_first_image.gif").c_str());
  ExpectWideFirstImageClipped(wide);
  delete wide;
  EXPECT_EQ(LoadGifFile(Picture("bound_unable.gif").c_str()), nullptr);
  // A screen its 37 bytes cannot back: no picture on any path.
  const char* unbacked = "screen_23000.gif";
  EXPECT_EQ(LoadGifFile(Picture(unbacked).c_str()), nullptr);
  EXPECT_EQ(OpenGifFrameReader(Picture(unbacked).c_str()), nullptr);
  EXPECT_EQ(StartPictureDecoding(Picture(unbacked).c_str(), INT64_MAX), nullptr);
  int delay = 0;
  EXPECT_EQ(LoadGifFirstFrame(Picture(unbacked).c_str(), nullptr, &delay, nullptr), nullptr);
  Bitmap* able = LoadGifFile(Picture("bound_able.gif").c_str());
  ASSERT_NE(able, nullptr);
  EXPECT_EQ(able->Width(), 4096);
  delete able;
  // A screen too large to animate shows its first frame.
  Bitmap* still = LoadGifFile(Picture("first_frame_8000.gif").c_str());
  ASSERT_NE(still, nullptr);
  reader = OpenGifFrameReader(Picture("first_frame_8000.gif").c_str());
  ASSERT_NE(reader, nullptr);
  EXPECT_EQ(ReadNextGifFrame(reader, still), 0);
  EXPECT_EQ(Pixel(still, 0, 0), GifColour(3));
  EXPECT_EQ(Pixel(still, 1, 1), GifColour(6));
  EXPECT_EQ(Pixel(still, 2, 2), 0u);
  EXPECT_EQ(ReadNextGifFrame(reader, still), GIF_FRAME_BAD_SIZE);
  CloseGifFrameReader(reader);
  delete still;
}

#endif

}  // namespace
