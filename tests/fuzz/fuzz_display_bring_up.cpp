// The display bring-up (host window, bridge search, BARs, chip start-up, mode, clear) on a board
// whose PCI configuration space, chip window, VGA ports and every other device read may lie. The
// chip was started by the BMC, so that the lies (a chip that reads as not started, say) decide
// whether the module trains it.
#include "tests/fuzz/hostile_harness.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  if (size < 1) {
    return 0;
  }
  const auto &boards = hostile::WarmBoards();
  const auto board = boards[data[0] % boards.size()].Build();
  hostile::Require(hostile::RunBringUp(*board, data + 1, size - 1));
  return 0;
}
