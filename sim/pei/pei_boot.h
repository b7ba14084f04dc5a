// One simulated PEI boot of BootProgressPei: PPIs preinstalled, the module loaded, then the
// scenario's events installed in order, with the progress record read after each.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "sim/pei/pei_board.h"
#include "sim/pi/hob_list.h"

namespace sim {

struct ProgressRecordState {
  bool present = false;
  uint8_t marker = 0;
  uint16_t percent = 0;
};

struct EventOutcome {
  std::string name;
  double t_us;                     // virtual time when the event's callbacks had all returned
  std::optional<uint16_t> percent; // the record's percentage then, if there is a record
};

// The record as a later phase would find it: the first GUID HOB with its name.
ProgressRecordState ReadProgressRecord(const HobList &hobs);

struct BootResult {
  EFI_STATUS entry_status = EFI_SUCCESS;
  std::vector<EventOutcome> events;
};

// Runs the scenario's boot on `board`. `afterEvent` sees each event's outcome as it happens.
// `load` runs the module's entry point; by default the host build's.
BootResult RunPeiBoot(PeiBoard &board,
                      const std::function<void(size_t, const EventOutcome &)> &afterEvent = {},
                      const std::function<EFI_STATUS()> &load = {});

} // namespace sim
