// Decoding time of the JPEG, PNG and GIF decoders beside the bare libraries,
// measured in the same run on the same files. It prints figures and asserts
// nothing. The pictures are made at start in the temporary folder.
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

#include <unistd.h>

#include <gif_lib.h>
#include <jpeglib.h>
#include <png.h>

#include "imagefiles/gif_decoding.h"
#include "imagefiles/jpeg_file.h"
#include "imagefiles/png_file.h"
#include "raster/memory_bitmap.h"

namespace {

// Smooth gradients with some texture, like a photograph as far as the
// compressors are concerned.
unsigned char Sample(int x, int y, int channel) {
  double v = 128 + 60 * std::sin(x * 0.003 + channel) * std::cos(y * 0.004 - channel) + 30 * std::sin((x + y) * 0.05);
  v += ((x * 7919 + y * 104729 + channel * 31) % 23) - 11;
  return static_cast<unsigned char>(std::min(255.0, std::max(0.0, v)));
}

void MakeJpeg(const char* path, int width, int height) {
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
      for (int c = 0; c < 4; ++c) row[x * 4 + c] = c == 3 ? static_cast<unsigned char>((x + y) & 255) : Sample(x, y, c);
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

int ReadStdio(GifFileType* gif, GifByteType* bytes, int count) {
  return static_cast<int>(fread(bytes, 1, count, static_cast<FILE*>(gif->UserData)));
}

}  // namespace

int main() {
  std::string folder = "/tmp/vistrel_decoder_bench_";
  folder += std::to_string(getpid());
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
    int error = 0;
    GifFileType* g = DGifOpen(file, ReadStdio, &error);
    MemoryBitmap frame(g->SWidth, g->SHeight);
    bool first = true;
    while (DrawNextGifImage(g, &frame, first) >= 0) first = false;
    DGifCloseFile(g, &error);
    fclose(file);
  }, repeats);
  std::printf("GIF 1920 x 1080, 20 frames: giflib DGifSlurp %.1f ms, every frame drawn %.1f ms (%+.1f%%)\n", bare, ours,
              (ours / bare - 1) * 100);
  remove(jpeg.c_str());
  remove(png.c_str());
  remove(gif.c_str());
  return 0;
}
