#include "base/content_check.h"

#include <cstring>
#include <new>

namespace {

const uint64_t MULTIPLIER_1 = 0x9E3779B97F4A7C15ull;
const uint64_t MULTIPLIER_2 = 0xC2B2AE3D27D4EB4Full;

uint64_t RotateLeft(uint64_t value, int bits) { return value << bits | value >> (64 - bits); }

// Each step is a bijection of the state for a given word, and of the word
// for a given state: one changed word always gives another result.
uint64_t Step(uint64_t state, uint64_t word) { return RotateLeft(state ^ word * MULTIPLIER_1, 29) * MULTIPLIER_2; }

uint64_t Finish(uint64_t state) {
  state ^= state >> 33;
  state *= 0xFF51AFD7ED558CCDull;
  state ^= state >> 33;
  state *= 0xC4CEB9FE1A85EC53ull;
  return state ^ state >> 33;
}

}  // namespace

uint64_t ContentChecksum(const unsigned char* bytes, size_t count) {
  uint64_t state = Step(0x243F6A8885A308D3ull, static_cast<uint64_t>(count));
  size_t whole = count - count % 8;
  for (size_t i = 0; i < whole; i += 8) {
    uint64_t word;
    memcpy(&word, bytes + i, 8);
    state = Step(state, word);
  }
  if (whole < count) {
    uint64_t word = 0;
    memcpy(&word, bytes + whole, count - whole);
    state = Step(state, word);
  }
  return Finish(state);
}

bool ChecksumFileEnds(int64_t file_size, ContentReader read, void* source, uint64_t* checksum) {
  if (file_size < 0) return false;
  int64_t head = file_size <= 2 * CONTENT_CHECK_SPAN ? file_size : CONTENT_CHECK_SPAN;
  int64_t tail = file_size - head < CONTENT_CHECK_SPAN ? file_size - head : CONTENT_CHECK_SPAN;
  unsigned char* bytes = new (std::nothrow) unsigned char[static_cast<size_t>(head + tail) + 1];
  if (!bytes) return false;
  bool read_all = (head == 0 || read(source, 0, bytes, static_cast<size_t>(head))) &&
                  (tail == 0 || read(source, file_size - tail, bytes + head, static_cast<size_t>(tail)));
  if (read_all) *checksum = ContentChecksum(bytes, static_cast<size_t>(head + tail));
  delete[] bytes;
  return read_all;
}
