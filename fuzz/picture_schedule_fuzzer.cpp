// The picture schedule against its model: any sequence of opens, steps,
// timer ticks, file changes and failures keeps the ledger within the budget,
// does no piece of work longer than one decoding step, shows only what the
// files hold and ends on the picture at the position.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "tests/view/picture_schedule_model.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string failure;
  if (!RunScheduleModel(data, size, &failure)) {
    fprintf(stderr, "%s\n", failure.c_str());
    abort();
  }
  return 0;
}
