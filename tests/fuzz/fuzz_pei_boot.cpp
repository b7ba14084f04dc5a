// A whole PEI boot of the module on a board whose every device read may lie: the boot reaches its
// end, within the time bound, with every invariant of the bus monitor held.
#include "sim/hostile/lying_bus.h"
#include "sim/hostile/pei_invariants.h"
#include "sim/pei/pei_boot.h"
#include "tests/fuzz/hostile_harness.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  if (size < 1) {
    return 0;
  }
  sim::PeiBoard board(hostile::Boards()[data[0] % hostile::Boards().size()]);
  sim::LyingBus liar(board.machine.bus);
  liar.LieAboutEverything();
  liar.Feed(data + 1, size - 1);
  sim::PeiBootMonitor monitor(board);
  const sim::BootResult result = sim::RunPeiBoot(board);
  monitor.Finish();
  hostile::Require(monitor.Monitor());
  hostile::Require(result.events.size() == board.ppi_events.events.size(),
                   "the boot stopped early");
  return 0;
}
