#include "sim/pei/pei_boot.h"

#include <cstring>

#include "sim/binding/module_entries.h"

namespace sim {

namespace {
// The record's layout as a later boot phase reads it.
constexpr EFI_GUID kProgressRecordGuid = {
    0xDEF22288, 0xDB19, 0x4633, {0xB6, 0x00, 0x42, 0xAA, 0x07, 0x0D, 0x9D, 0xE2}};
constexpr size_t kRecordLength = 28;
constexpr size_t kMarkerOffset = 24;
constexpr size_t kPercentOffset = 26;

// Marks in the trace where each step of the boot begins, so that the accesses after a marker are
// the ones that step caused.
void Mark(PeiBoard &board, const std::string &what) {
  if (Trace *trace = board.machine.bus.GetTrace()) {
    trace->Event(board.machine.clock.NowUs(), what);
  }
}
} // namespace

ProgressRecordState ReadProgressRecord(const HobList &hobs) {
  ProgressRecordState state;
  const uint8_t *hob = hobs.FindGuidHob(kProgressRecordGuid);
  uint16_t length = 0;
  if (hob != nullptr) {
    std::memcpy(&length, hob + 2, sizeof(length));
  }
  if (hob == nullptr || length < kRecordLength) {
    return state;
  }
  state.present = true;
  state.marker = hob[kMarkerOffset];
  std::memcpy(&state.percent, hob + kPercentOffset, sizeof(state.percent));
  return state;
}

BootResult RunPeiBoot(PeiBoard &board,
                      const std::function<void(size_t, const EventOutcome &)> &afterEvent,
                      const std::function<EFI_STATUS()> &load) {
  BootResult result;
  for (const std::string &name : board.ppi_events.preinstalled) {
    Mark(board, "preinstall " + name);
    board.InstallPlatformPpi(name);
  }
  Mark(board, "entry BootProgressPei");
  result.entry_status = load ? load() : board.core.RunPeim(BootProgressPeiEntryPoint());
  for (size_t i = 0; i < board.ppi_events.events.size(); ++i) {
    Mark(board, "install " + board.ppi_events.events[i]);
    board.InstallPlatformPpi(board.ppi_events.events[i]);
    const ProgressRecordState record = ReadProgressRecord(board.core.Hobs());
    EventOutcome outcome{board.ppi_events.events[i], board.machine.clock.NowUs(),
                         record.present ? std::optional<uint16_t>(record.percent) : std::nullopt};
    result.events.push_back(outcome);
    if (afterEvent) {
      afterEvent(i, outcome);
    }
  }
  return result;
}

} // namespace sim
