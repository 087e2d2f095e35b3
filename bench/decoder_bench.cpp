// Decoding time of the JPEG, PNG and GIF decoders beside the bare libraries,
// measured in the same run on the same files, and of the BMP reader step by
// step beside the Windows image loader's one call (built for Windows too and
// run under Wine; `decoder_bench bmp` runs only that part). It prints
// figures and asserts nothing. The pictures are made at start in the
// temporary folder.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#ifdef _WIN32
#include <process.h>
#define getpid _getpid
#else
#include <unistd.h>
#endif

#include <gif_lib.h>
#include <jpeglib.h>
#include <png.h>

#include "imagefiles/bmp_decoding.h"
#include "imagefiles/gif_decoding.h"
#include "imagefiles/jpeg_file.h"
#include "imagefiles/png_file.h"
#include "imagefiles/picture_decoding.h"
#include "raster/memory_bitmap.h"
#ifdef _WIN32
#include "imagefiles/bmp_file.h"
#endif

namespace {

// Smooth gradients with some texture, like a photograph as far as the
// compressors are concerned.
unsigned char Sample(int x, int y, int channel) {
  double v = 128 + 60 * std::sin(x * 0.003 + channel) * std::cos(y * 0.004 - channel) + 30 * std::sin((x + y) * 0.05);
  v += ((x * 7919 + y * 104729 + channel * 31) % 23) - 11;
  return static_cast<unsigned char>(std::min(255.0, std::max(0.0, v)));
}

// With an orientation other than 1, the file records it in an Exif APP1
// segment, as a camera does.
void MakeJpeg(const char* path, int width, int height, int orientation = 1) {
  jpeg_compress_struct cinfo;
  jpeg_error_mgr errors;
  cinfo.err = jpeg_std_error(&errors);
  jpeg_create_compress(&cinfo);
  FILE* file = fopen(path, "wb");
  jpeg_stdio_dest(&cinfo, file);
  cinfo.image_width = width;
  cinfo.image_height = height;
  cinfo.input_components = 3;
  cinfo.in_color_space = JCS_RGB;
  jpeg_set_defaults(&cinfo);
  jpeg_set_quality(&cinfo, 90, TRUE);
  jpeg_start_compress(&cinfo, TRUE);
  if (orientation != 1) {
    // "Exif\0\0", a little-endian TIFF header, IFD0 of one entry: tag
    // 0x0112, SHORT, one value.
    unsigned char exif[] = {'E', 'x', 'i', 'f', 0, 0, 'I', 'I', 42, 0, 8, 0, 0, 0, 1, 0, 0x12, 0x01, 3, 0, 1, 0, 0, 0,
                            static_cast<unsigned char>(orientation), 0, 0, 0, 0, 0, 0, 0};
    jpeg_write_marker(&cinfo, JPEG_APP0 + 1, exif, sizeof exif);
  }
  std::vector<unsigned char> row(static_cast<size_t>(width) * 3);
  while (cinfo.next_scanline < cinfo.image_height) {
    for (int x = 0; x < width; ++x)
      for (int c = 0; c < 3; ++c) row[x * 3 + c] = Sample(x, cinfo.next_scanline, c);
    JSAMPROW rows[1] = {row.data()};
    jpeg_write_scanlines(&cinfo, rows, 1);
  }
  jpeg_finish_compress(&cinfo);
  jpeg_destroy_compress(&cinfo);
  fclose(file);
}

void MakePng(const char* path, int width, int height) {
  FILE* file = fopen(path, "wb");
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  png_init_io(png, file);
  png_set_IHDR(png, info, width, height, 8, PNG_COLOR_TYPE_RGBA, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  png_set_compression_level(png, 6);
  png_write_info(png, info);
  std::vector<unsigned char> row(static_cast<size_t>(width) * 4);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x)
      for (int c = 0; c < 4; ++c) row[size_t(x) * 4 + c] = c == 3 ? static_cast<unsigned char>((x + y) & 255) : Sample(x, y, c);
    png_write_row(png, row.data());
  }
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  fclose(file);
}

void MakeGif(const char* path, int width, int height, int frames) {
  int error = 0;
  GifFileType* gif = EGifOpenFileName(path, false, &error);
  GifColorType colours[256];
  for (int i = 0; i < 256; ++i) colours[i] = {static_cast<GifByteType>(i), static_cast<GifByteType>(255 - i), static_cast<GifByteType>(i * 7)};
  ColorMapObject* map = GifMakeMapObject(256, colours);
  EGifPutScreenDesc(gif, width, height, 8, 0, map);
  std::vector<GifPixelType> line(width);
  for (int f = 0; f < frames; ++f) {
    unsigned char control[4] = {0, 5, 0, 0};
    EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, 4, control);
    EGifPutImageDesc(gif, 0, 0, width, height, false, nullptr);
    for (int y = 0; y < height; ++y) {
      for (int x = 0; x < width; ++x) line[x] = Sample(x + f * 13, y, 0);
      EGifPutLine(gif, line.data(), width);
    }
  }
  EGifCloseFile(gif, &error);
  GifFreeMapObject(map);
}

// A bottom-up 24-bit BMP of the same texture.
void MakeBmp(const char* path, int width, int height) {
  FILE* file = fopen(path, "wb");
  int stride = (width * 3 + 3) / 4 * 4;
  uint32_t offset = 14 + 40, size = offset + uint32_t(stride) * height;
  unsigned char header[54] = {'B', 'M'};
  uint32_t fields[] = {size, 0, offset, 40, uint32_t(width), uint32_t(height), 1 | 24 << 16, 0, 0, 2835, 2835, 0, 0};
  memcpy(header + 2, fields, sizeof header - 2);
  fwrite(header, 1, sizeof header, file);
  std::vector<unsigned char> row(stride, 0);
  for (int y = height - 1; y >= 0; --y) {
    for (int x = 0; x < width; ++x)
      for (int c = 0; c < 3; ++c) row[x * 3 + c] = Sample(x, y, 2 - c);
    fwrite(row.data(), 1, row.size(), file);
  }
  fclose(file);
}

double Milliseconds(const std::function<void()>& run, int repeats) {
  double best = 1e30;
  for (int i = 0; i < repeats; ++i) {
    auto start = std::chrono::steady_clock::now();
    run();
    double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    best = std::min(best, ms);
  }
  return best;
}

// libjpeg-turbo straight to 32-bit rows, as its own benchmark tool decodes.
void BareJpeg(const char* path, std::vector<uint32_t>* pixels) {
  jpeg_decompress_struct cinfo;
  jpeg_error_mgr errors;
  cinfo.err = jpeg_std_error(&errors);
  jpeg_create_decompress(&cinfo);
  FILE* file = fopen(path, "rb");
  jpeg_stdio_src(&cinfo, file);
  jpeg_read_header(&cinfo, TRUE);
  cinfo.out_color_space = JCS_EXT_BGRX;
  jpeg_start_decompress(&cinfo);
  pixels->resize(static_cast<size_t>(cinfo.output_width) * cinfo.output_height);
  while (cinfo.output_scanline < cinfo.output_height) {
    JSAMPROW rows[1] = {reinterpret_cast<JSAMPROW>(pixels->data() + static_cast<size_t>(cinfo.output_scanline) * cinfo.output_width)};
    jpeg_read_scanlines(&cinfo, rows, 1);
  }
  jpeg_finish_decompress(&cinfo);
  jpeg_destroy_decompress(&cinfo);
  fclose(file);
}

// libpng to RGBA rows.
void BarePng(const char* path, std::vector<uint32_t>* pixels) {
  FILE* file = fopen(path, "rb");
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  png_init_io(png, file);
  png_read_info(png, info);
  png_uint_32 width = png_get_image_width(png, info), height = png_get_image_height(png, info);
  pixels->resize(static_cast<size_t>(width) * height);
  std::vector<png_bytep> rows(height);
  for (png_uint_32 y = 0; y < height; ++y) rows[y] = reinterpret_cast<png_bytep>(pixels->data() + static_cast<size_t>(y) * width);
  png_read_image(png, rows.data());
  png_destroy_read_struct(&png, &info, nullptr);
  fclose(file);
}

int ReadStdio(void* file, unsigned char* bytes, int count) {
  return static_cast<int>(fread(bytes, 1, count, static_cast<FILE*>(file)));
}

double Now() {
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// What a decoding step by step took: the longest step, the steps, the whole.
struct Stepping {
  double longest_ms;
  int64_t longest_at;  // its number, from 0 (-1: the header)
  int64_t steps;
  double total_ms;
  int result;
};

template <typename Step>
Stepping TimeSteps(Step step) {
  Stepping s = {0, 0, 0, 0, 0};
  double start = Now();
  do {
    double before = Now();
    s.result = step();
    if (Now() - before > s.longest_ms) {
      s.longest_ms = Now() - before;
      s.longest_at = s.steps;
    }
    ++s.steps;
  } while (s.result == 0);
  s.total_ms = Now() - start;
  return s;
}

// A JPEG or PNG decoding from its start (the header) to its picture.
template <typename Decoding>
Stepping StepDecoding(const std::string& path, Decoding* (*start)(FILE*, bool, int64_t), int (*step)(Decoding*),
                      Bitmap* (*take)(Decoding*), void (*abandon)(Decoding*)) {
  double before = Now();
  Decoding* d = start(fopen(path.c_str(), "rb"), true, INT64_MAX);
  double header = Now() - before;
  if (!d) return Stepping{header, -1, 1, header, -1};
  Stepping s = TimeSteps([&] { return step(d); });
  if (header > s.longest_ms) {
    s.longest_ms = header;
    s.longest_at = -1;
  }
  s.total_ms += header;
  if (s.result == 1) delete take(d);
  else abandon(d);
  return s;
}

Stepping StepJpeg(const std::string& path) {
  return StepDecoding(path, StartJpegDecoding, StepJpegDecoding, TakeJpegPicture, AbandonJpegDecoding);
}

Stepping StepPng(const std::string& path) {
  return StepDecoding(path, StartPngDecoding, StepPngDecoding, TakePngPicture, AbandonPngDecoding);
}

BmpDecoding* StartBmp(FILE* file, bool owns_file, int64_t max_bytes) {
  BmpReading reading = BMP_REFUSED;
  return StartBmpDecoding(file, owns_file, max_bytes, &reading);
}

Stepping StepBmp(const std::string& path) {
  return StepDecoding(path, StartBmp, StepBmpDecoding, TakeBmpPicture, AbandonBmpDecoding);
}

#ifdef _WIN32
// The Windows image loader, as the viewer called it for every BMP.
void LoaderBmp(const char* path) { delete LoadBmpFile(path); }
#else
// Elsewhere the file's bytes read in large blocks: the reading alone.
void ReadBmpBytes(const char* path) {
  FILE* file = fopen(path, "rb");
  std::vector<unsigned char> block(1 << 20);
  while (fread(block.data(), 1, block.size(), file) == block.size()) {
  }
  fclose(file);
}
#endif

// A GIF's first frame, drawn as the viewer draws it.
Stepping StepGifFirstFrame(const std::string& path) {
  FILE* file = fopen(path.c_str(), "rb");
  GifInput input = {ReadStdio, file, INT64_MAX};
  GifFileType* gif = OpenGifDecoder(&input);
  if (!gif) {
    fclose(file);
    return Stepping{0, 0, 0, 0, -1};
  }
  MemoryBitmap frame;
  GifFrameDrawing drawing = {};
  int32_t state = 0, elapsed = 0;
  Stepping s = TimeSteps([&] {
    bool done = false;
    int64_t work = 0;
    int result = StepGifFrameWork(gif, &frame, &state, &elapsed, nullptr, &drawing, PICTURE_STEP_PIXELS, &work, &done);
    return done ? (result >= 0 ? 1 : -1) : 0;
  });
  int error = 0;
  DGifCloseFile(gif, &error);
  fclose(file);
  return s;
}

// libjpeg's plain decoding as the decoders had it: every scan read by
// jpeg_start_decompress, then the rows.
void PlainJpeg(const char* path) {
  std::vector<uint32_t> pixels;
  BareJpeg(path, &pixels);
}

void PlainPng(const char* path) {
  std::vector<uint32_t> pixels;
  BarePng(path, &pixels);
}

// giflib's first image, drawn line by line into a screen-sized block.
void PlainGif(const char* path) {
  int error = 0;
  GifFileType* g = DGifOpenFileName(path, &error);
  std::vector<uint32_t> screen(size_t(g->SWidth) * g->SHeight, 0);
  GifRecordType record;
  while (DGifGetRecordType(g, &record) == GIF_OK && record == EXTENSION_RECORD_TYPE) {
    int code = 0;
    GifByteType* block = nullptr;
    DGifGetExtension(g, &code, &block);
    while (block) DGifGetExtensionNext(g, &block);
  }
  if (record == IMAGE_DESC_RECORD_TYPE && DGifGetImageDesc(g) == GIF_OK) {
    std::vector<GifPixelType> line(g->Image.Width);
    for (int y = 0; y < g->Image.Height; ++y) {
      if (DGifGetLine(g, line.data(), g->Image.Width) != GIF_OK) break;
      if (y < g->SHeight)
        for (int x = 0; x < g->Image.Width && x < g->SWidth; ++x) screen[size_t(y) * g->SWidth + x] = line[x];
    }
  }
  DGifCloseFile(g, &error);
}

void MakeFlatJpeg(const char* path, int width, int height, bool progressive, bool arithmetic, bool textured) {
  jpeg_compress_struct cinfo;
  jpeg_error_mgr errors;
  cinfo.err = jpeg_std_error(&errors);
  jpeg_create_compress(&cinfo);
  FILE* file = fopen(path, "wb");
  jpeg_stdio_dest(&cinfo, file);
  cinfo.image_width = width;
  cinfo.image_height = height;
  cinfo.input_components = 3;
  cinfo.in_color_space = JCS_RGB;
  jpeg_set_defaults(&cinfo);
  jpeg_set_quality(&cinfo, 90, TRUE);
  if (progressive) jpeg_simple_progression(&cinfo);
  if (arithmetic) cinfo.arith_code = TRUE;
  jpeg_start_compress(&cinfo, TRUE);
  std::vector<unsigned char> row(static_cast<size_t>(width) * 3, 90);
  while (cinfo.next_scanline < cinfo.image_height) {
    if (textured)
      for (int x = 0; x < width; ++x)
        for (int c = 0; c < 3; ++c) row[x * 3 + c] = Sample(x, cinfo.next_scanline, c);
    JSAMPROW rows[1] = {row.data()};
    jpeg_write_scanlines(&cinfo, rows, 1);
  }
  jpeg_finish_compress(&cinfo);
  jpeg_destroy_compress(&cinfo);
  fclose(file);
}

// A flat progressive picture whose full AC scan of the luminance is
// repeated a few thousand times: the scan bomb.
void MakeScanBomb(const char* path) {
  MakeFlatJpeg(path, 2048, 2048, true, false, false);
  FILE* file = fopen(path, "rb");
  std::vector<unsigned char> data;
  unsigned char chunk[65536];
  size_t n;
  while ((n = fread(chunk, 1, sizeof chunk, file)) > 0) data.insert(data.end(), chunk, chunk + n);
  fclose(file);
  size_t at = 2;
  while (!(data[at] == 0xFF && data[at + 1] == 0xDA)) at += 2 + (data[at + 2] << 8 | data[at + 3]);
  std::vector<size_t> starts;
  size_t head = at;
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
  std::vector<unsigned char> bomb(data.begin(), data.begin() + static_cast<long>(starts[1]));
  for (int i = 0; i < 3000; ++i) bomb.insert(bomb.end(), data.begin() + static_cast<long>(starts[4]), data.begin() + static_cast<long>(starts[5]));
  bomb.insert(bomb.end(), data.begin() + static_cast<long>(starts[1]), data.end());
  (void)head;
  file = fopen(path, "wb");
  fwrite(bomb.data(), 1, bomb.size(), file);
  fclose(file);
}

void MakeLargeImageGif(const char* path, int screen_width, int screen_height, int width, int height, bool interlaced) {
  int error = 0;
  GifFileType* gif = EGifOpenFileName(path, false, &error);
  GifColorType colours[256];
  for (int i = 0; i < 256; ++i) colours[i] = {static_cast<GifByteType>(i), static_cast<GifByteType>(255 - i), static_cast<GifByteType>(i * 7)};
  ColorMapObject* map = GifMakeMapObject(256, colours);
  EGifPutScreenDesc(gif, screen_width, screen_height, 8, 0, map);
  EGifPutImageDesc(gif, 0, 0, width, height, interlaced, nullptr);
  std::vector<GifPixelType> line(width);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) line[x] = Sample(x, y, 0);
    EGifPutLine(gif, line.data(), width);
  }
  EGifCloseFile(gif, &error);
  GifFreeMapObject(map);
}

void PrintStepping(const char* decoder, const char* file, const std::string& path, Stepping (*stepped)(const std::string&),
                   void (*plain)(const char*)) {
  Stepping s = stepped(path);
  double plain_ms = 0;
  if (plain) {
    double start = Now();
    plain(path.c_str());
    plain_ms = Now() - start;
  }
  std::printf("%-5s %-42s %6lld steps, longest %6.2f ms (step %lld), whole %7.1f ms%s", decoder, file,
              static_cast<long long>(s.steps), s.longest_ms, static_cast<long long>(s.longest_at), s.total_ms,
              s.result == 1 ? "" : " (no picture)");
  if (plain) std::printf(", plain %8.1f ms (%+.1f%%)", plain_ms, (s.total_ms / plain_ms - 1) * 100);
  std::printf("\n");
  remove(path.c_str());
}

}  // namespace

// The BMP reader on an 8000 x 6000 24-bit file: under Windows against the
// loader's one call, elsewhere against reading the file's bytes.
void BenchBmp(const std::string& folder) {
  std::string path = folder + ".bmp";
  MakeBmp(path.c_str(), 8000, 6000);
#ifdef _WIN32
  // The first loader call takes the file into the cache for both.
  LoaderBmp(path.c_str());
  PrintStepping("BMP", "8000 x 6000 24-bit (plain: Windows loader)", path, StepBmp, LoaderBmp);
#else
  ReadBmpBytes(path.c_str());
  PrintStepping("BMP", "8000 x 6000 24-bit (plain: its bytes read)", path, StepBmp, ReadBmpBytes);
#endif
}

int main(int argc, char** argv) {
#ifdef _WIN32
  const char* temp = getenv("TEMP");
  std::string folder = std::string(temp ? temp : ".") + "\\vistrel_decoder_bench_";
#else
  std::string folder = "/tmp/vistrel_decoder_bench_";
#endif
  folder += std::to_string(getpid());
  if (argc > 1 && strcmp(argv[1], "bmp") == 0) {
    BenchBmp(folder);
    return 0;
  }
  std::string jpeg = folder + ".jpg", png = folder + ".png", gif = folder + ".gif";
  std::printf("making the pictures...\n");
  MakeJpeg(jpeg.c_str(), 6000, 4000);
  MakePng(png.c_str(), 4000, 3000);
  MakeGif(gif.c_str(), 1920, 1080, 20);
  const int repeats = 5;
  MemoryBitmap target;

  // Both sides allocate their output afresh each time, as opening a picture does.
  double bare = Milliseconds([&] { std::vector<uint32_t> fresh; BareJpeg(jpeg.c_str(), &fresh); }, repeats);
  double ours = Milliseconds([&] { delete LoadJpegFile(jpeg.c_str()); }, repeats);
  double reused = Milliseconds([&] { LoadJpegFile(jpeg.c_str(), &target); }, repeats);
  std::printf("JPEG 6000 x 4000: libjpeg-turbo to 32-bit rows %.1f ms, LoadJpegFile %.1f ms (%+.1f%%), into a reused one %.1f ms (%+.1f%%)\n",
              bare, ours, (ours / bare - 1) * 100, reused, (reused / bare - 1) * 100);

  // The same picture recording an Exif orientation: the decoding that turns
  // it upright against the one without the turn, into a new bitmap and into
  // a reused one, taken in turns so that both see the same machine.
  for (int orientation : {6, 3}) {
    std::string tagged = folder + "_o.jpg";
    MakeJpeg(tagged.c_str(), 6000, 4000, orientation);
    MemoryBitmap upright;
    double plain = 1e30, turned = 1e30, plain_reused = 1e30, turned_reused = 1e30;
    for (int i = 0; i < 2 * repeats; ++i) {
      plain = std::min(plain, Milliseconds([&] { delete LoadJpegFile(jpeg.c_str()); }, 1));
      turned = std::min(turned, Milliseconds([&] { delete LoadJpegFile(tagged.c_str()); }, 1));
      plain_reused = std::min(plain_reused, Milliseconds([&] { LoadJpegFile(jpeg.c_str(), &target); }, 1));
      turned_reused = std::min(turned_reused, Milliseconds([&] { LoadJpegFile(tagged.c_str(), &upright); }, 1));
    }
    remove(tagged.c_str());
    std::printf("JPEG 6000 x 4000 with Exif orientation %d: LoadJpegFile %.1f ms against %.1f ms, turning %+.1f%% of "
                "the decoding; into a reused one %.1f ms against %.1f ms, turning %+.1f%%\n",
                orientation, turned, plain, (turned / plain - 1) * 100, turned_reused, plain_reused,
                (turned_reused / plain_reused - 1) * 100);
  }

  bare = Milliseconds([&] { std::vector<uint32_t> fresh; BarePng(png.c_str(), &fresh); }, repeats);
  ours = Milliseconds([&] { delete LoadPngFile(png.c_str()); }, repeats);
  reused = Milliseconds([&] { LoadPngFile(png.c_str(), &target); }, repeats);
  std::printf("PNG 4000 x 3000 RGBA: libpng to RGBA rows %.1f ms, LoadPngFile %.1f ms (%+.1f%%), into a reused one %.1f ms (%+.1f%%)\n",
              bare, ours, (ours / bare - 1) * 100, reused, (reused / bare - 1) * 100);

  bare = Milliseconds([&] {
    int error = 0;
    GifFileType* g = DGifOpenFileName(gif.c_str(), &error);
    DGifSlurp(g);
    DGifCloseFile(g, &error);
  }, repeats);
  ours = Milliseconds([&] {
    FILE* file = fopen(gif.c_str(), "rb");
    GifInput input = {ReadStdio, file, INT64_MAX};
    GifFileType* g = OpenGifDecoder(&input);
    MemoryBitmap frame;
    int32_t state = 0, elapsed = 0;
    while (StepGifFrame(g, &frame, &state, &elapsed) >= 0) {
    }
    int error = 0;
    DGifCloseFile(g, &error);
    fclose(file);
  }, repeats);
  std::printf("GIF 1920 x 1080, 20 frames: giflib DGifSlurp %.1f ms, every frame drawn %.1f ms (%+.1f%%)\n", bare, ours,
              (ours / bare - 1) * 100);

  // Step by step, as the viewer decodes: the longest step and the whole
  // decoding against the plain one of the library.
  std::printf("\nstep by step (steps of %lld pixels or coefficients):\n", static_cast<long long>(PICTURE_STEP_PIXELS));
  PrintStepping("JPEG", "6000 x 4000 baseline", jpeg, StepJpeg, PlainJpeg);
  std::string path = folder + "_p.jpg";
  MakeFlatJpeg(path.c_str(), 6000, 4000, true, false, true);
  PrintStepping("JPEG", "6000 x 4000 progressive", path, StepJpeg, PlainJpeg);
  MakeFlatJpeg(path.c_str(), 8000, 6000, true, false, false);
  PrintStepping("JPEG", "8000 x 6000 flat progressive", path, StepJpeg, PlainJpeg);
  MakeFlatJpeg(path.c_str(), 11000, 11000, true, false, false);
  PrintStepping("JPEG", "11000 x 11000 flat progressive", path, StepJpeg, PlainJpeg);
  MakeFlatJpeg(path.c_str(), 8000, 6000, true, true, true);
  PrintStepping("JPEG", "8000 x 6000 arithmetic-coded progressive", path, StepJpeg, PlainJpeg);
  MakeScanBomb(path.c_str());
  PrintStepping("JPEG", "scan bomb (3000 scans of 2048 x 2048)", path, StepJpeg, nullptr);
  PrintStepping("PNG", "4000 x 3000 RGBA", png, StepPng, PlainPng);
  path = folder + "_w.png";
  MakePng(path.c_str(), 1000000, 4);
  PrintStepping("PNG", "1,000,000 x 4 RGBA (a row a step)", path, StepPng, PlainPng);
  path = folder + "_f.gif";
  MakeLargeImageGif(path.c_str(), 2048, 2048, 2048, 2048, false);
  PrintStepping("GIF", "2048 x 2048 first frame", path, StepGifFirstFrame, PlainGif);
  MakeLargeImageGif(path.c_str(), 640, 480, 8000, 6000, false);
  PrintStepping("GIF", "8000 x 6000 image on a 640 x 480 screen", path, StepGifFirstFrame, PlainGif);
  MakeLargeImageGif(path.c_str(), 640, 480, 8000, 6000, true);
  PrintStepping("GIF", "the same interlaced", path, StepGifFirstFrame, PlainGif);
  BenchBmp(folder);
  remove(jpeg.c_str());
  remove(gif.c_str());
  return 0;
}
