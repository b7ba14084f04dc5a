// A whole PEI boot of the module on a board whose every device read may lie: the boot reaches its
// end, within the time bound, with every invariant of the bus monitor held.
#include "tests/fuzz/hostile_harness.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  if (size < 1) {
    return 0;
  }
  const auto &boards = hostile::Boards();
  const auto board = boards[data[0] % boards.size()].Build();
  const hostile::RunResult r = hostile::RunWholeBoot(*board, data + 1, size - 1);
  hostile::Require(r);
  hostile::Require(r.completed, "the boot stopped early");
  return 0;
}
