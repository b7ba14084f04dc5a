// The address line on a lying board: the BMC's IPMI answers (completion code, length, every data
// byte, set-in-progress), the strap pad's registers and the sideband status come from the input.
// The line never draws more than its label and fifteen glyphs, and every write stays where the
// module owns it; the formatter's buffer is watched by the sanitizers.
#include "modules/boot_progress_pei/progress/bmc_address.h"
#include "sim/hostile/lying_bus.h"
#include "sim/hostile/pei_invariants.h"
#include "tests/fuzz/hostile_harness.h"

namespace {
constexpr size_t kMostImages = 1 + 15; // the label, then at most fifteen glyphs
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  if (size < 1) {
    return 0;
  }
  sim::PeiBoard board(hostile::Boards()[data[0] % hostile::Boards().size()]);
  board.machine.cpu.SetPeiServicesSlot(reinterpret_cast<uintptr_t>(board.core.Services()));
  board.InstallPlatformPpi("IpmiTransport");
  sim::LyingBus liar(board.machine.bus);
  liar.Lie({sim::ReadPath::Ipmi});
  liar.Lie({sim::ReadPath::Memory});
  liar.Lie({sim::ReadPath::Config});
  liar.Feed(data + 1, size - 1);
  sim::PeiBootMonitor monitor(board);
  const size_t before = board.images.Calls().size();
  ShowBmcAddress(board.core.Services());
  monitor.Finish();
  hostile::Require(monitor.Monitor());
  hostile::Require(board.images.Calls().size() - before <= kMostImages,
                   "the address line drew more than its label and fifteen glyphs");
  return 0;
}
