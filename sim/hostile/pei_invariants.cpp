#include "sim/hostile/pei_invariants.h"

#include <cstring>

#include "sim/pei/pei_boot.h"

namespace sim {

namespace {
constexpr uint64_t kFrameBuffer = 0xA0000000, kFrameBytes = 800 * 600;
constexpr uint64_t kAssignFirst = 0xA0000000, kAssignEnd = 0xFB000000;
constexpr uint64_t kIoFirst = 0x6000, kIoEnd = 0x10000;
constexpr uint16_t kMilestones[] = {0, 1, 5, 10, 15, 20, 30};
constexpr uint16_t kPhitType = 0x0001, kEndType = 0xFFFF;

void CheckHobList(const HobList &hobs, BusMonitor &m) {
  const uint8_t *at = hobs.Bytes();
  const uint8_t *end = at + hobs.Capacity();
  uint16_t type = 0, length = 0;
  std::memcpy(&type, at, 2);
  if (type != kPhitType) {
    m.Violation("HOB list does not start with its PHIT");
    return;
  }
  while (true) {
    std::memcpy(&type, at, 2);
    std::memcpy(&length, at + 2, 2);
    if (type == kEndType) {
      return;
    }
    if (length < 8 || length > end - at - 8) {
      m.Violation("HOB list broken at offset " + std::to_string(at - hobs.Bytes()));
      return;
    }
    at += length;
  }
}
} // namespace

BusMonitor::Rules PeiBootRules(PeiBoard &board) {
  BusMonitor::Rules r;
  r.config_base = board.pci.ConfigBase();
  for (uint8_t f = 0; f < 8; ++f) {
    r.writable_functions.push_back({0, 28, f});
    r.writable_functions.push_back({0, 31, f});
  }
  r.writable_functions.insert(r.writable_functions.end(),
                              {{1, 0, 0}, {2, 0, 0}, {0, 5, 0}, {17, 29, 1}});
  r.io = {{0x3B0, 0x3DF}, {0x80, 0x80}};
  r.memory = {{kFrameBuffer, kFrameBuffer + kFrameBytes - 1}};
  for (const auto &community : board.platform.gpio) {
    const uint64_t base = GpioCommunity::kPcrBase + (uint64_t{community->Port()} << 16);
    r.memory.push_back({base, base + GpioCommunity::kBlockSize - 1});
  }
  r.window_function = {2, 0, 0};
  r.assigning_function = {2, 0, 0};
  r.assignable = {{kAssignFirst, kAssignEnd - 1}, {kIoFirst, kIoEnd - 1}};
  r.time_bound_ns = kPeiBootBoundNs;
  return r;
}

PeiBootMonitor::PeiBootMonitor(PeiBoard &board)
    : board_(board), monitor_(board.machine.bus, PeiBootRules(board)) {}

void PeiBootMonitor::Finish() {
  monitor_.CheckTime(board_.machine.clock);
  CheckHobList(board_.core.Hobs(), monitor_);
  const ProgressRecordState record = ReadProgressRecord(board_.core.Hobs());
  if (record.present) {
    bool known = false;
    for (uint16_t p : kMilestones) {
      known |= record.percent == p;
    }
    if (record.marker != 1 || !known) {
      monitor_.Violation("progress record marker " + std::to_string(record.marker) + " percent " +
                         std::to_string(record.percent));
    }
  }
  // What the bring-up opened, as the models hold it.
  const auto inside = [](uint64_t first, uint64_t last, uint64_t lo, uint64_t end) {
    return lo <= first && first <= last && last < end;
  };
  std::vector<PciBridge *> bridges;
  for (unsigned f = 0; f < DisplayHardware::kRootPortFunctions; ++f) {
    bridges.push_back(&board_.display.RootPort(f));
  }
  if (board_.display.Bridge() != nullptr) {
    bridges.push_back(board_.display.Bridge());
  }
  for (PciBridge *b : bridges) {
    const PciBridge::Window m = b->MemoryWindow();
    const PciBridge::Window io = b->IoWindow();
    if ((m.open && !inside(m.base, m.limit, kAssignFirst, kAssignEnd)) ||
        (io.open && !inside(io.base, io.limit, kIoFirst, kIoEnd))) {
      monitor_.Violation(b->Name() + " forwards outside the opened ranges");
    }
  }
}

} // namespace sim
