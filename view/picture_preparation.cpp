#include "view/picture_preparation.h"

#include <windows.h>

#include <chrono>
#include <cstring>
#include <new>

#include "imagefiles/file_list.h"
#include "imagefiles/gif_frame_reader.h"
#include "imagefiles/jpeg_file.h"
#include "imagefiles/picture_header.h"
#include "imagefiles/png_row_decoding.h"
#include "raster/memory_bitmap.h"

namespace {

double NowMs() {
  using namespace std::chrono;
  return duration<double, std::milli>(steady_clock::now().time_since_epoch()).count();
}

bool HasExtension(const char* path, const char* first, const char* second) {
  const char* extension = PathExtension(path);
  return strcmp(extension, first) == 0 || (second && strcmp(extension, second) == 0);
}

// Bytes of pixels a bitmap holds (0 for none).
int64_t PictureBytes(const Bitmap* bitmap) {
  if (!bitmap) return 0;
  int64_t bytes = BitmapByteCount(bitmap->Width(), bitmap->Height());
  return bytes > 0 ? bytes : 0;
}

// Bytes the bitmap's block takes: a MemoryBitmap's allocation, which may be
// more than its picture needs.
int64_t BlockBytes(Bitmap* bitmap) {
  MemoryBitmap* memory = dynamic_cast<MemoryBitmap*>(bitmap);
  return memory ? memory->AllocatedBytes() : PictureBytes(bitmap);
}

bool Oversized(Bitmap* bitmap, int64_t needed) {
  return needed > 0 && static_cast<double>(BlockBytes(bitmap)) > OVERSIZED_BLOCK_RATIO * static_cast<double>(needed);
}

void FreeHeld(HeldPicture* held) {
  delete held->bitmap;
  held->bitmap = nullptr;
  held->path.clear();
}

// Memory for the next preparation: the larger of the two blocks is freed,
// so that no more than one spare block is held.
void KeepAsMemory(PreparedPicture* prepared, Bitmap* bitmap) {
  if (!bitmap || bitmap == prepared->bitmap) return;
  if (prepared->bitmap && BlockBytes(prepared->bitmap) >= BlockBytes(bitmap)) {
    delete prepared->bitmap;
    prepared->bitmap = bitmap;
  } else if (prepared->bitmap) {
    delete bitmap;
  } else {
    prepared->bitmap = bitmap;
  }
}

}  // namespace

Bitmap* FitPictureMemory(Bitmap* picture) {
  int64_t needed = PictureBytes(picture);
  if (!Oversized(picture, needed)) return picture;
  MemoryBitmap* fitted = new (std::nothrow) MemoryBitmap(picture->Width(), picture->Height());
  if (!fitted || !fitted->Bits()) {
    delete fitted;
    return picture;
  }
  size_t row_bytes = static_cast<size_t>(picture->RowSpan()) * 4;
  for (int y = 0; y < picture->Height(); ++y) {
    memcpy(fitted->Bits() + static_cast<ptrdiff_t>(y) * fitted->RowSpan(),
           picture->Bits() + static_cast<ptrdiff_t>(y) * picture->RowSpan(), row_bytes);
  }
  delete picture;
  return fitted;
}

PreparedPicture MakePreparedPicture() {
  PreparedPicture prepared;
  prepared.state = PREPARATION_IDLE;
  prepared.stamp = FileStamp{0, 0, 0, 0};
  prepared.bitmap = nullptr;
  prepared.started = false;
  prepared.jpeg = nullptr;
  prepared.png = nullptr;
  prepared.first_delay = 0;
  prepared.kept.bitmap = nullptr;
  prepared.kept.stamp = FileStamp{0, 0, 0, 0};
  prepared.kept.first_delay = 0;
  prepared.longest_slice_ms = 0.0;
  prepared.slice_count = 0;
  prepared.long_slice_count = 0;
  prepared.budget_bytes = PREPARATION_BUDGET_BYTES;
  return prepared;
}

void FreePreparedPicture(PreparedPicture* prepared) {
  StopPreparing(prepared);
  FreeHeld(&prepared->kept);
}

void AbandonPreparation(PreparedPicture* prepared) {
  AbandonJpegBandDecoding(prepared->jpeg);
  prepared->jpeg = nullptr;
  AbandonPngRowDecoding(prepared->png);
  prepared->png = nullptr;
  prepared->state = PREPARATION_IDLE;
  prepared->path.clear();
}

void StopPreparing(PreparedPicture* prepared) {
  AbandonPreparation(prepared);
  delete prepared->bitmap;
  prepared->bitmap = nullptr;
}

Bitmap* TakePreparationMemory(PreparedPicture* prepared) {
  AbandonPreparation(prepared);
  Bitmap* memory = prepared->bitmap;
  prepared->bitmap = nullptr;
  return memory;
}

void KeepPicture(PreparedPicture* prepared, const HeldPicture& picture) {
  Bitmap* previous = prepared->kept.bitmap;
  prepared->kept.bitmap = nullptr;
  if (PictureBytes(picture.bitmap) > prepared->budget_bytes) {
    delete picture.bitmap;
    prepared->kept.path.clear();
  } else if (picture.first_delay < 0) {
    // Not the picture its file is shown with: its memory serves instead.
    prepared->kept.path.clear();
    if (prepared->state == PREPARATION_IDLE) KeepAsMemory(prepared, picture.bitmap);
    else delete picture.bitmap;
  } else {
    prepared->kept = picture;
    prepared->kept.bitmap = picture.bitmap ? FitPictureMemory(picture.bitmap) : nullptr;
    if (!prepared->kept.bitmap) prepared->kept.path.clear();
  }
  // Only while no preparation holds a picture is there room for memory.
  if (prepared->state == PREPARATION_IDLE) KeepAsMemory(prepared, previous);
  else delete previous;
}

void DropKeptPicture(PreparedPicture* prepared) {
  Bitmap* kept = prepared->kept.bitmap;
  prepared->kept.bitmap = nullptr;
  prepared->kept.path.clear();
  if (prepared->state == PREPARATION_IDLE) KeepAsMemory(prepared, kept);
  else delete kept;
}

void StartPreparing(PreparedPicture* prepared, const char* path) {
  AbandonPreparation(prepared);
  prepared->path = path;
  prepared->state = PREPARATION_DECODING;
  prepared->started = false;
  prepared->first_delay = 0;
}

// The first slice: the file's stamp and header, the choice between bands,
// rows and a whole decode, the budget and the memory, and for a JPEG or a
// PNG its header and the bitmap's size. False when the file is not prepared.
bool BeginPreparing(PreparedPicture* prepared) {
  prepared->started = true;
  const char* path = prepared->path.c_str();
  PictureHeader header;
  if (!ReadFileStamp(path, &prepared->stamp) || !ReadPictureHeader(path, &header)) return false;
  int64_t bytes = BitmapByteCount(header.width, header.height);
  if (bytes < 0 || bytes > prepared->budget_bytes) return false;
  bool jpeg = HasExtension(path, ".jpg", ".jpeg");
  bool png = HasExtension(path, ".png", nullptr);
  if (!jpeg && !png && static_cast<int64_t>(header.width) * header.height >= WHOLE_PREPARATION_MAX_PIXELS) {
    return false;
  }
  // Within the budget: the picture just left is given up first.
  if (PictureBytes(prepared->kept.bitmap) + bytes > prepared->budget_bytes) FreeHeld(&prepared->kept);
  // A block much larger than the picture is given back, not filled; one
  // too small too, since growing it would copy what it holds.
  if (prepared->bitmap && (Oversized(prepared->bitmap, bytes) || BlockBytes(prepared->bitmap) < bytes)) {
    delete prepared->bitmap;
    prepared->bitmap = nullptr;
  }
  if (!prepared->bitmap) prepared->bitmap = new (std::nothrow) MemoryBitmap();
  if (!prepared->bitmap) return false;
  if (jpeg) {
    prepared->jpeg = StartJpegBandDecoding(path, prepared->bitmap, prepared->budget_bytes);
    if (!prepared->jpeg) return false;
  } else if (png) {
    prepared->png = StartPngRowDecoding(path, prepared->bitmap, prepared->budget_bytes);
    if (!prepared->png) return false;
  }
  return true;
}

bool ContinuePreparing(PreparedPicture* prepared) {
  if (prepared->state != PREPARATION_DECODING) return true;
  double start = NowMs();
  if (!prepared->started) {
    if (!BeginPreparing(prepared)) AbandonPreparation(prepared);
  } else if (prepared->jpeg || prepared->png) {
    // Steps while one more, as long as the last, still ends within the slice.
    int result = 0;
    double step = 0.0;
    do {
      double step_start = NowMs();
      result = prepared->jpeg ? DecodeJpegBand(prepared->jpeg, PREPARATION_JPEG_ROWS, PREPARATION_INPUT_BYTES)
                              : DecodePngRows(prepared->png, PREPARATION_PNG_ROWS);
      step = NowMs() - step_start;
    } while (result == 0 && NowMs() - start + step < PREPARATION_SLICE_MS);
    if (result != 0) {
      bool complete = prepared->jpeg ? FinishJpegBandDecoding(prepared->jpeg) != nullptr
                                     : FinishPngRowDecoding(prepared->png) != nullptr;
      prepared->jpeg = nullptr;
      prepared->png = nullptr;
      prepared->state = complete ? PREPARATION_READY : PREPARATION_IDLE;
    }
  } else {
    const char* path = prepared->path.c_str();
    bool complete = IsGifPath(path) ? LoadGifFirstFrame(path, prepared->bitmap, &prepared->first_delay, nullptr) != nullptr
                                    : LoadPictureFile(path, prepared->bitmap) != nullptr;
    prepared->state = complete ? PREPARATION_READY : PREPARATION_IDLE;
  }
  if (prepared->state == PREPARATION_IDLE) prepared->path.clear();
  double slice = NowMs() - start;
  if (slice > prepared->longest_slice_ms) prepared->longest_slice_ms = slice;
  prepared->slice_count += 1;
  if (slice > LONG_SLICE_MS) prepared->long_slice_count += 1;
  return prepared->state != PREPARATION_DECODING;
}

bool TakePreparedPicture(PreparedPicture* prepared, const char* path, HeldPicture* picture) {
  bool usable = prepared->state != PREPARATION_IDLE && prepared->path == path &&
                (prepared->state == PREPARATION_READY || prepared->jpeg || prepared->png);
  FileStamp now;
  if (!usable || !ReadFileStamp(path, &now) || !SameFileStamp(now, prepared->stamp)) {
    AbandonPreparation(prepared);
    return false;
  }
  if (prepared->jpeg || prepared->png) {
    // Finishing what remains is never slower than starting again.
    Bitmap* finished = prepared->jpeg ? FinishJpegBandDecoding(prepared->jpeg) : FinishPngRowDecoding(prepared->png);
    prepared->jpeg = nullptr;
    prepared->png = nullptr;
    if (!finished) {
      AbandonPreparation(prepared);
      return false;
    }
  }
  picture->bitmap = prepared->bitmap;
  picture->path = prepared->path;
  picture->stamp = prepared->stamp;
  picture->first_delay = prepared->first_delay;
  prepared->bitmap = nullptr;
  prepared->state = PREPARATION_IDLE;
  prepared->path.clear();
  return true;
}

bool TakeKeptPicture(PreparedPicture* prepared, const char* path, HeldPicture* picture) {
  HeldPicture* kept = &prepared->kept;
  if (!kept->bitmap || kept->path != path) return false;
  FileStamp now;
  if (!ReadFileStamp(path, &now) || !SameFileStamp(now, kept->stamp)) {
    DropKeptPicture(prepared);
    return false;
  }
  *picture = *kept;
  kept->bitmap = nullptr;
  kept->path.clear();
  return true;
}
