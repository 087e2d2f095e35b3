#include "imagefiles/png_row_decoding.h"

#include <new>

#include "base/utf8_file.h"
#include "imagefiles/png_file.h"

struct PngRowDecoding {
  PngDecoding* decoding;
  int result;
};

PngRowDecoding* StartPngRowDecoding(const char* path, Bitmap* target, int64_t max_bytes) {
  FILE* file = Utf8OpenFile(path, "rb");
  PngDecoding* d = file ? StartPngDecoding(file, true, max_bytes) : nullptr;
  PngRowDecoding* rows = d ? new (std::nothrow) PngRowDecoding{d, 0} : nullptr;
  if (!rows) {
    AbandonPngDecoding(d);
    return nullptr;
  }
  SetPngDecodingTarget(d, target, false);
  return rows;
}

int DecodePngRows(PngRowDecoding* rows, int) {
  if (rows->result == 0) rows->result = StepPngDecoding(rows->decoding);
  return rows->result;
}

Bitmap* FinishPngRowDecoding(PngRowDecoding* rows) {
  while (DecodePngRows(rows, 0) == 0) {
  }
  Bitmap* picture = rows->result == 1 ? TakePngPicture(rows->decoding) : nullptr;
  if (!picture) AbandonPngDecoding(rows->decoding);
  delete rows;
  return picture;
}

void AbandonPngRowDecoding(PngRowDecoding* rows) {
  if (!rows) return;
  AbandonPngDecoding(rows->decoding);
  delete rows;
}
