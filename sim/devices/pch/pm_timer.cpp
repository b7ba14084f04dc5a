#include "sim/devices/pch/pm_timer.h"

namespace sim {

PmTimer::PmTimer(Bus &bus)
    : Device(bus, "acpi-pm-timer"), region_(Region::Leaf(
                                        this, "acpi-pm-timer", 4,
                                        [this](uint64_t, unsigned) -> uint64_t {
                                          const uint32_t value = Count();
                                          ++read_count_;
                                          if (reads_.size() < kReadLogLimit) {
                                            reads_.push_back(value);
                                          }
                                          return value;
                                        },
                                        nullptr, // the count is read-only: writes are ignored
                                        kW32)) {}

void PmTimer::Reset() {
  offset_ = 0;
  reads_.clear();
  read_count_ = 0;
}

uint64_t PmTimer::Ticks() const {
  return static_cast<uint64_t>(static_cast<unsigned __int128>(bus_.GetClock().NowNs()) * kHz /
                               1'000'000'000u);
}

uint32_t PmTimer::Count() const { return static_cast<uint32_t>((Ticks() + offset_) & kMask); }

void PmTimer::SetCount(uint32_t value) { offset_ = ((value & kMask) - (Ticks() & kMask)) & kMask; }

void PmTimer::MapAt(uint16_t port) {
  if (Mapped() && port == port_) {
    return;
  }
  Unmap();
  port_ = port;
  bus_.Root(Space::Io).AddSubregion(port, &region_, Bus::kFixedPriority);
}

void PmTimer::Unmap() { region_.Detach(); }

} // namespace sim
