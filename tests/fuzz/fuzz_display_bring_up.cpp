// The display bring-up (host window, bridge search, BARs, chip start-up, mode, clear) on a board
// whose PCI configuration space, chip window, VGA ports and every other device read may lie. Each
// input gets a board fresh from its scenario, so every input starts from the same state.
#include "modules/boot_progress_pei/graphics/graphics_enable.h"
#include "sim/hostile/lying_bus.h"
#include "sim/hostile/pei_invariants.h"
#include "tests/fuzz/hostile_harness.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  if (size < 1) {
    return 0;
  }
  sim::PeiBoard board(hostile::Boards()[data[0] % hostile::Boards().size()]);
  board.machine.cpu.SetPeiServicesSlot(reinterpret_cast<uintptr_t>(board.core.Services()));
  sim::LyingBus liar(board.machine.bus);
  liar.LieAboutEverything();
  liar.Feed(data + 1, size - 1);
  sim::PeiBootMonitor monitor(board);
  GraphicsDeviceState state{};
  OpenHostMmioWindow();
  EnableGraphicsController(&state, board.core.Services());
  monitor.Finish();
  hostile::Require(monitor.Monitor());
  return 0;
}
