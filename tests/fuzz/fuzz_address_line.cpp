// The address line on a lying board: the BMC's IPMI answers (completion code, length, every data
// byte, set-in-progress), the strap pad's registers and the sideband status come from the input.
// The line never draws more than its label and fifteen glyphs, and every write stays where the
// module owns it; the formatter's buffer is watched by the sanitizers.
#include "tests/fuzz/hostile_harness.h"

namespace {
constexpr size_t kMostImages = 1 + 15; // the label, then at most fifteen glyphs
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  if (size < 1) {
    return 0;
  }
  const auto &boards = hostile::WarmBoards();
  const auto board = boards[data[0] % boards.size()].Build();
  const hostile::RunResult r = hostile::RunAddressLine(*board, data + 1, size - 1);
  hostile::Require(r);
  hostile::Require(r.drawn <= kMostImages,
                   "the address line drew more than its label and fifteen glyphs");
  return 0;
}
