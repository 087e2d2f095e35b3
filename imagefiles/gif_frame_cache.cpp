#include "imagefiles/gif_frame_cache.h"

#include <cstddef>
#include <cstring>
#include <new>

#include "raster/bitmap.h"


namespace {

// Makes room in a vector for `more` elements of `element` bytes, growing
// its block by at least half at a time, and counts the growth of the block
// (the bytes allocated, not those used). False, with nothing allocated, when
// that would pass the cache's limit.
template <typename Vector>
bool MakeRoom(GifFrameCache* cache, Vector* vector, size_t more) {
  size_t needed = vector->size() + more;
  if (needed <= vector->capacity()) return true;
  size_t capacity = vector->capacity() + vector->capacity() / 2;
  if (capacity < needed) capacity = needed;
  int64_t growth = static_cast<int64_t>((capacity - vector->capacity()) * sizeof(typename Vector::value_type));
  if (cache->bytes + growth > GIF_FRAME_CACHE_BYTES) return false;
  vector->reserve(capacity);
  cache->bytes += growth;
  return true;
}

void Forget(GifFrameCache* cache) {
  cache->frames.clear();
  cache->frames.shrink_to_fit();
  cache->bytes = 0;
  cache->recording = false;
  cache->complete = false;
}

// Stops recording for good: too much to keep.
void GiveUp(GifFrameCache* cache) {
  Forget(cache);
  cache->too_large = true;
}

bool Records(const GifFrameCache* cache) {
  return cache && !cache->complete && !cache->spoiled && !cache->too_large;
}

}  // namespace

GifFrameCache* MakeGifFrameCache() {
  GifFrameCache* cache = new (std::nothrow) GifFrameCache();
  if (cache) Forget(cache);
  return cache;
}

void FreeGifFrameCache(GifFrameCache* cache) { delete cache; }

void BeginCachedFrame(GifFrameCache* cache, const uint32_t colours[256], int transparent_index, bool cleared,
                      uint32_t background, int x0, int count) {
  if (!Records(cache)) return;
  if (!MakeRoom(cache, &cache->frames, 1)) {
    GiveUp(cache);
    return;
  }
  cache->frames.emplace_back();
  GifCachedFrame& frame = cache->frames.back();
  frame.delay = 0;
  frame.cleared = cleared;
  frame.background = background;
  memcpy(frame.colours, colours, sizeof frame.colours);
  frame.transparent_index = transparent_index;
  frame.x0 = x0;
  frame.count = count > 0 ? count : 0;
  cache->recording = true;
}

void AddCachedRow(GifFrameCache* cache, int y, const uint8_t* indices) {
  if (!Records(cache) || !cache->recording) return;
  GifCachedFrame& frame = cache->frames.back();
  if (!MakeRoom(cache, &frame.rows, 1) || !MakeRoom(cache, &frame.indices, static_cast<size_t>(frame.count))) {
    GiveUp(cache);
    return;
  }
  frame.rows.push_back(y);
  frame.indices.insert(frame.indices.end(), indices, indices + frame.count);
}

void SkipCachedFrame(GifFrameCache* cache) {
  if (Records(cache)) cache->spoiled = true;
}

void EndCachedFrame(GifFrameCache* cache, int result) {
  if (!Records(cache)) return;
  if (result >= 0) {
    // Every frame with a bitmap to draw into was begun.
    if (!cache->recording) {
      cache->spoiled = true;
      return;
    }
    cache->frames.back().delay = result;
    cache->recording = false;
    return;
  }
  // A frame that was begun and then failed drew something the code alone
  // does not repeat: such a loop is not replayed.
  if (cache->recording) {
    cache->spoiled = true;
    return;
  }
  cache->end_code = result;
  cache->complete = !cache->frames.empty();
}

void RewindGifFrameCache(GifFrameCache* cache) {
  if (!cache || cache->complete) return;
  Forget(cache);
  cache->spoiled = false;
}

int ReplayCachedFrame(const GifFrameCache* cache, int index, Bitmap* target) {
  int64_t position = 0, work = 0;
  while (!ReplayCachedFrameSteps(cache, index, target, &position, INT64_MAX / 2, &work)) {
  }
  return cache->frames[static_cast<size_t>(index)].delay;
}

bool ReplayCachedFrameSteps(const GifFrameCache* cache, int index, Bitmap* target, int64_t* position,
                            int64_t max_work, int64_t* work) {
  const GifCachedFrame& frame = cache->frames[static_cast<size_t>(index)];
  uint32_t* bits = target ? target->Bits() : nullptr;
  if (!bits) return true;
  int width = target->Width(), height = target->Height();
  ptrdiff_t span = target->RowSpan();
  int64_t cleared_rows = frame.cleared ? height : 0;
  int64_t end = cleared_rows + static_cast<int64_t>(frame.rows.size());
  int64_t start = *work;
  while (*position < end) {
    int64_t row_index = *position;
    if (row_index < cleared_rows) {
      int y = static_cast<int>(row_index);
      uint32_t* row = bits + (target->IsFlipped() ? height - 1 - y : y) * span;
      for (int x = 0; x < width; ++x) row[x] = frame.background;
      *work += width > 0 ? width : 1;
    } else {
      size_t line_index = static_cast<size_t>(row_index - cleared_rows);
      int y = frame.rows[line_index];
      const uint8_t* line = frame.indices.data() + line_index * static_cast<size_t>(frame.count);
      uint32_t* row = bits + (target->IsFlipped() ? height - 1 - y : y) * span + frame.x0;
      for (int x = 0; x < frame.count; ++x) {
        if (line[x] != frame.transparent_index) row[x] = frame.colours[line[x]];
      }
      *work += frame.count > 0 ? frame.count : 1;
    }
    *position += 1;
    if (*position < end && *work - start >= max_work) return false;
  }
  return true;
}

int64_t GifFrameCacheReservation(const GifFrameCache* cache) {
  if (!cache || cache->too_large) return 0;
  return cache->complete ? cache->bytes : GIF_FRAME_CACHE_BYTES;
}
