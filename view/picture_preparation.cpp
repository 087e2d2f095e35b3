#include "view/picture_preparation.h"

#include <windows.h>

#include <chrono>
#include <cstring>
#include <new>

#include "base/utf8_platform.h"
#include "imagefiles/file_list.h"
#include "imagefiles/jpeg_file.h"
#include "imagefiles/picture_header.h"
#include "raster/memory_bitmap.h"

namespace {

// Rows decoded between two looks at the clock. libjpeg decodes a whole band
// of 8 or 16 rows when the first of them is asked for, so a slice ends at
// most one band after its time is up.
const int BAND_ROWS = 1;

double NowMs() {
  using namespace std::chrono;
  return duration<double, std::milli>(steady_clock::now().time_since_epoch()).count();
}

bool SameStamp(const FileStamp& a, const FileStamp& b) {
  return a.size == b.size && a.last_write == b.last_write;
}

bool IsJpegPath(const char* path) {
  const char* extension = PathExtension(path);
  return strcmp(extension, ".jpg") == 0 || strcmp(extension, ".jpeg") == 0;
}

}  // namespace

bool ReadFileStamp(const char* path, FileStamp* stamp) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  WideText wide;
  BOOL found = wide.ConvertPath(path) && GetFileAttributesExW(wide.text, GetFileExInfoStandard, &data);
  if (!found) found = GetFileAttributesExA(path, GetFileExInfoStandard, &data);
  if (!found) return false;
  stamp->size = static_cast<int64_t>(static_cast<uint64_t>(data.nFileSizeHigh) << 32 | data.nFileSizeLow);
  stamp->last_write = static_cast<uint64_t>(data.ftLastWriteTime.dwHighDateTime) << 32 |
                      data.ftLastWriteTime.dwLowDateTime;
  return true;
}

PreparedPicture MakePreparedPicture() {
  PreparedPicture prepared;
  prepared.state = PREPARATION_IDLE;
  prepared.stamp = FileStamp{0, 0};
  prepared.bitmap = nullptr;
  prepared.started = false;
  prepared.jpeg = nullptr;
  prepared.longest_slice_ms = 0.0;
  return prepared;
}

void FreePreparedPicture(PreparedPicture* prepared) {
  AbandonPreparation(prepared);
  delete prepared->bitmap;
  prepared->bitmap = nullptr;
}

void AbandonPreparation(PreparedPicture* prepared) {
  AbandonJpegBandDecoding(prepared->jpeg);
  prepared->jpeg = nullptr;
  prepared->state = PREPARATION_IDLE;
  prepared->path.clear();
}

void KeepPreparationMemory(PreparedPicture* prepared, Bitmap* bitmap) {
  AbandonPreparation(prepared);
  if (bitmap == prepared->bitmap) return;
  delete prepared->bitmap;
  prepared->bitmap = bitmap;
}

void StartPreparing(PreparedPicture* prepared, const char* path) {
  AbandonPreparation(prepared);
  prepared->path = path;
  prepared->state = PREPARATION_DECODING;
  prepared->started = false;
}

// The first slice: the file's stamp and header, the choice between bands and
// a whole decode, and for a JPEG its header and the bitmap's size. False when
// the file is not prepared.
bool BeginPreparing(PreparedPicture* prepared) {
  prepared->started = true;
  const char* path = prepared->path.c_str();
  PictureHeader header;
  if (!ReadFileStamp(path, &prepared->stamp) || !ReadPictureHeader(path, &header)) return false;
  int64_t bytes = BitmapByteCount(header.width, header.height);
  if (bytes < 0 || bytes > PREPARATION_BUDGET_BYTES) return false;
  bool banded = IsJpegPath(path) && !header.multiple_scans;
  if (!banded && static_cast<int64_t>(header.width) * header.height >= WHOLE_PREPARATION_MAX_PIXELS) {
    return false;
  }
  if (!prepared->bitmap) prepared->bitmap = new (std::nothrow) MemoryBitmap();
  if (!prepared->bitmap) return false;
  if (banded) {
    prepared->jpeg = StartJpegBandDecoding(path, prepared->bitmap, PREPARATION_BUDGET_BYTES);
    if (!prepared->jpeg) return false;
  }
  return true;
}

bool ContinuePreparing(PreparedPicture* prepared) {
  if (prepared->state != PREPARATION_DECODING) return true;
  double start = NowMs();
  if (!prepared->started) {
    if (!BeginPreparing(prepared)) AbandonPreparation(prepared);
  } else if (prepared->jpeg) {
    int result = 0;
    do {
      result = DecodeJpegBand(prepared->jpeg, BAND_ROWS);
    } while (result == 0 && NowMs() - start < PREPARATION_SLICE_MS);
    if (result != 0) {
      bool complete = FinishJpegBandDecoding(prepared->jpeg) != nullptr;
      prepared->jpeg = nullptr;
      prepared->state = complete ? PREPARATION_READY : PREPARATION_IDLE;
    }
  } else {
    bool complete = LoadPictureFile(prepared->path.c_str(), prepared->bitmap) != nullptr;
    prepared->state = complete ? PREPARATION_READY : PREPARATION_IDLE;
  }
  double slice = NowMs() - start;
  if (slice > prepared->longest_slice_ms) prepared->longest_slice_ms = slice;
  return prepared->state != PREPARATION_DECODING;
}

Bitmap* TakePreparedPicture(PreparedPicture* prepared, const char* path) {
  bool usable = prepared->state != PREPARATION_IDLE && prepared->path == path &&
                (prepared->state == PREPARATION_READY || prepared->jpeg);
  FileStamp now;
  if (!usable || !ReadFileStamp(path, &now) || !SameStamp(now, prepared->stamp)) {
    AbandonPreparation(prepared);
    return nullptr;
  }
  if (prepared->jpeg) {
    // Finishing the bands that remain is never slower than starting again.
    Bitmap* finished = FinishJpegBandDecoding(prepared->jpeg);
    prepared->jpeg = nullptr;
    if (!finished) {
      AbandonPreparation(prepared);
      return nullptr;
    }
  }
  Bitmap* picture = prepared->bitmap;
  prepared->bitmap = nullptr;
  prepared->state = PREPARATION_IDLE;
  prepared->path.clear();
  return picture;
}
