#pragma once
// A model of the files and decoders behind the picture schedule, and a driver
// that plays a sequence of user actions and file changes against it: opens,
// Next and Previous, timer ticks, files rewritten, deleted, failing, an
// animation's reserve. After every action it checks what must always hold:
// the ledger within the budget, no piece of work longer than one decoding
// step, every picture shown is the one the file held, and after the last
// action the picture at the position is shown at most one decoding after
// the one under way. Used by the native test and the fuzz target.
#include <cstddef>
#include <cstdint>
#include <string>

// Plays the actions the bytes describe. False with *failure set when
// something that must hold did not.
bool RunScheduleModel(const uint8_t* data, size_t size, std::string* failure);
