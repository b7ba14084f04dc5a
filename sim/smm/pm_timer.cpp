#include "sim/smm/pm_timer.h"

namespace sim {

uint64_t PmTimer::Ticks() const {
  return static_cast<uint64_t>(static_cast<unsigned __int128>(bus_.GetClock().NowNs()) * kHz /
                               1'000'000'000u);
}

uint32_t PmTimer::Count() const { return static_cast<uint32_t>((Ticks() + offset_) & kMask); }

void PmTimer::SetCount(uint32_t value) { offset_ = ((value & kMask) - (Ticks() & kMask)) & kMask; }

void PmTimer::MapAt(uint16_t port) {
  if (region_ != 0 && port == port_) {
    return;
  }
  Unmap();
  port_ = port;
  region_ = bus_.Map(
      Space::Io, port, 4, "acpi-pm-timer",
      [this](uint64_t, unsigned) -> uint64_t {
        const uint32_t value = Count();
        ++read_count_;
        if (reads_.size() < kReadLogLimit) {
          reads_.push_back(value);
        }
        return value;
      },
      nullptr, kW32); // read-only; the register is 32 bits wide
}

void PmTimer::Unmap() {
  if (region_ != 0) {
    bus_.Unmap(region_);
    region_ = 0;
  }
}

} // namespace sim
