// The schedule of decoding against a model of files and decoders: the
// worked sequences of keys held down, the budget and a new list, then the
// model's random sequences (the fuzz target's property) from fixed seeds.
#include "view/picture_schedule.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "tests/view/picture_schedule_model.h"

namespace {

// Action bytes of the model (picture_schedule_model.cpp): 0 open, 1 and 2
// a step, 3 to 5 ticks, 6 a rewrite, 7 a delete, 8 a reserve, 9 an
// animation past its first frame.
std::vector<uint8_t> Open(std::vector<uint8_t> files) {
  std::vector<uint8_t> bytes = {0, static_cast<uint8_t>(files.size() - 1)};
  bytes.insert(bytes.end(), files.begin(), files.end());
  return bytes;
}

void Append(std::vector<uint8_t>* to, const std::vector<uint8_t>& bytes) {
  to->insert(to->end(), bytes.begin(), bytes.end());
}

const std::vector<uint8_t> NEXT = {1, 1};
const std::vector<uint8_t> PREVIOUS = {1, 0};
const std::vector<uint8_t> TICK = {3, 0};
const std::vector<uint8_t> TICKS = {3, 7};

}  // namespace

TEST(PictureScheduleTest, WorkedSequences) {
  struct Case {
    const char* what;
    std::vector<std::vector<uint8_t>> actions;
  } cases[] = {
      {"keys held down: Next again and again between single ticks",
       {Open({0, 5, 4, 5, 3}), TICK, NEXT, TICK, NEXT, NEXT, TICK, NEXT, TICK}},
      {"forward and back over held pictures", {Open({1, 2, 3}), TICKS, TICKS, NEXT, TICKS, TICKS, PREVIOUS, NEXT}},
      {"a new list while a picture decodes", {Open({5, 4}), NEXT, TICK, Open({2, 3}), TICK, NEXT}},
      {"a file rewritten while prepared, refused, then deleted",
       {Open({0, 1, 2}), TICKS, TICKS, {6, 1, 99, 59, 3, 0, 0, 1}, NEXT, TICKS, {7, 2}, NEXT}},
      {"an animation's reserve while preparing", {Open({4, 5, 3}), {8, 2}, TICKS, TICKS, NEXT, TICKS, NEXT}},
      {"an animation past its first frame, left and come back to",
       {Open({4, 1}), TICKS, {9}, NEXT, TICKS, PREVIOUS, TICKS}},
      {"a long decoding passed at once, one about to end passed and finished",
       {{6, 5, 150, 79, 11, 3, 2, 1}, Open({1, 5, 0, 2}), NEXT, NEXT, TICK, PREVIOUS, PREVIOUS, TICKS}},
      {"a picture larger than the budget, then the ones beside it",
       {{6, 2, 159, 79, 3, 3, 2, 1}, Open({1, 2, 3}), TICKS, NEXT, TICKS, NEXT, TICKS, PREVIOUS}},
  };
  for (const Case& c : cases) {
    std::vector<uint8_t> bytes;
    for (const auto& action : c.actions) Append(&bytes, action);
    std::string failure;
    EXPECT_TRUE(RunScheduleModel(bytes.data(), bytes.size(), &failure)) << c.what << ": " << failure;
  }
}

TEST(PictureScheduleTest, RandomSequencesAgainstTheModel) {
  std::mt19937 random(2026);
  for (int run = 0; run < 2000; ++run) {
    std::vector<uint8_t> bytes(static_cast<size_t>(random() % 200));
    for (uint8_t& byte : bytes) byte = static_cast<uint8_t>(random());
    std::string failure;
    ASSERT_TRUE(RunScheduleModel(bytes.data(), bytes.size(), &failure)) << "run " << run << ": " << failure;
  }
}
