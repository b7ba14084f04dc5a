// What one input of a hostile-hardware fuzz target does to its board: the lying bus answers from
// the input, the bus monitor watches, and the result says whether every invariant held. Shared by
// the fuzz targets and by the tests that replay inputs on boards built the way the targets build
// them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "modules/boot_progress_pei/graphics/graphics_enable.h"
#include "modules/boot_progress_pei/progress/bmc_address.h"
#include "sim/hostile/lying_bus.h"
#include "sim/hostile/pei_invariants.h"
#include "sim/pei/pei_board.h"
#include "sim/pei/pei_boot.h"

namespace hostile {

struct RunResult {
  bool clean = true;     // the monitor found no violation
  std::string report;    // what it found
  size_t drawn = 0;      // DrawImageFile calls during the run
  bool completed = true; // a whole boot: every event of the board ran
};

// A board whose scenario and packed flash are kept, so that each input gets a fresh board built
// without packing the volumes again.
struct BoardTemplate {
  sim::Scenario scenario;
  std::shared_ptr<const sim::PeiBoard::FlashContents> flash;

  explicit BoardTemplate(sim::Scenario s)
      : scenario(std::move(s)), flash(sim::PeiBoard::PackFlash(scenario)) {}
  std::unique_ptr<sim::PeiBoard> Build() const {
    return std::make_unique<sim::PeiBoard>(scenario, *flash);
  }
};

// The display bring-up alone, lying on every path.
inline RunResult RunBringUp(sim::PeiBoard &board, const uint8_t *data, size_t size) {
  board.machine.cpu.SetPeiServicesSlot(reinterpret_cast<uintptr_t>(board.core.Services()));
  sim::LyingBus liar(board.machine.bus);
  liar.LieAboutEverything();
  liar.Feed(data, size);
  sim::PeiBootMonitor monitor(board);
  GraphicsDeviceState state{};
  OpenHostMmioWindow();
  EnableGraphicsController(&state, board.core.Services());
  monitor.Finish();
  return {monitor.Clean(), monitor.Report()};
}

// The address line with the IPMI transport installed, lying about the BMC's answers, memory and
// configuration space.
inline RunResult RunAddressLine(sim::PeiBoard &board, const uint8_t *data, size_t size) {
  board.machine.cpu.SetPeiServicesSlot(reinterpret_cast<uintptr_t>(board.core.Services()));
  board.InstallPlatformPpi("IpmiTransport");
  sim::LyingBus liar(board.machine.bus);
  liar.Lie({sim::ReadPath::Ipmi});
  liar.Lie({sim::ReadPath::Memory});
  liar.Lie({sim::ReadPath::Config});
  liar.Feed(data, size);
  sim::PeiBootMonitor monitor(board);
  const size_t before = board.images.Calls().size();
  ShowBmcAddress(board.core.Services());
  monitor.Finish();
  return {monitor.Clean(), monitor.Report(), board.images.Calls().size() - before};
}

// A whole PEI boot, lying on every path.
inline RunResult RunWholeBoot(sim::PeiBoard &board, const uint8_t *data, size_t size) {
  sim::LyingBus liar(board.machine.bus);
  liar.LieAboutEverything();
  liar.Feed(data, size);
  sim::PeiBootMonitor monitor(board);
  const sim::BootResult result = sim::RunPeiBoot(board);
  monitor.Finish();
  return {monitor.Clean(), monitor.Report(), 0,
          result.events.size() == board.ppi_events.events.size()};
}

} // namespace hostile
