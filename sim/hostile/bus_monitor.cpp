#include "sim/hostile/bus_monitor.h"

#include <cstdio>

namespace sim {

namespace {
constexpr uint64_t kConfigAddressPort = 0xCF8;
constexpr uint64_t kConfigDataPort = 0xCFC;
constexpr uint32_t kConfigEnable = 0x80000000u;
constexpr uint64_t kEcamSize = 256ull << 20;
constexpr uint16_t kBar0 = 0x10, kBar5End = 0x28;
constexpr uint32_t kSizingPattern = 0xFFFFFFFF;
constexpr uint32_t kBarFlags = 0xF;
// The chip's register window inside its BAR: two control words, then the 64 KiB aperture.
constexpr uint64_t kWindowControl = 0xF000, kWindowControlEnd = 0xF008;
constexpr uint64_t kWindowAperture = 0x10000, kWindowApertureEnd = 0x20000;

std::string Hex(uint64_t v) {
  char text[24];
  std::snprintf(text, sizeof text, "0x%llX", static_cast<unsigned long long>(v));
  return text;
}
std::string Where(PciAddress a) {
  return std::to_string(a.bus) + ":" + std::to_string(a.device) + "." + std::to_string(a.function);
}
} // namespace

BusMonitor::BusMonitor(Bus &bus, Rules rules) : bus_(bus), rules_(std::move(rules)) {
  bus_.AddObserver(this);
}

BusMonitor::~BusMonitor() { bus_.RemoveObserver(this); }

void BusMonitor::Restart() {
  config_address_ = 0;
  window_base_ = 0;
  kept_.clear();
  count_ = 0;
}

void BusMonitor::Violation(std::string what) {
  ++count_;
  if (kept_.size() < kMaxKept) {
    kept_.push_back(std::move(what));
  }
}

std::string BusMonitor::Report() const {
  std::string text = std::to_string(count_) + " violation(s)";
  for (const std::string &v : kept_) {
    text += "\n  " + v;
  }
  return text;
}

bool BusMonitor::In(const std::vector<Range> &ranges, uint64_t addr, uint64_t size) {
  for (const Range &r : ranges) {
    if (r.first <= addr && addr + size - 1 <= r.last) {
      return true;
    }
  }
  return false;
}

bool BusMonitor::Writable(PciAddress at) const {
  for (const PciAddress &f : rules_.writable_functions) {
    if (f == at) {
      return true;
    }
  }
  return false;
}

void BusMonitor::ConfigWrite(PciAddress at, uint16_t reg, unsigned width, uint64_t value) {
  if (!Writable(at)) {
    Violation("configuration write to " + Where(at) + " register " + Hex(reg));
    return;
  }
  if (at == rules_.assigning_function && reg >= kBar0 && reg < kBar5End) {
    if (width != 4 || (reg & 3) != 0) {
      Violation("partial BAR write to " + Where(at) + " register " + Hex(reg));
      return;
    }
    if (value != kSizingPattern && value != 0 && !In(rules_.assignable, value & ~kBarFlags, 1)) {
      Violation("BAR " + Hex(reg) + " of " + Where(at) + " assigned " + Hex(value) +
                " outside the assignable ranges");
    }
  }
  if (at == rules_.window_function && reg == rules_.window_bar && width == 4) {
    window_base_ = value == kSizingPattern ? 0 : value & ~uint64_t{kBarFlags};
  }
}

void BusMonitor::Observe(Space space, bool write, uint64_t addr, unsigned width, uint64_t value,
                         const Device *) {
  if (!write) {
    return;
  }
  if (space == Space::Io) {
    if (addr == kConfigAddressPort && width == 4) {
      config_address_ = static_cast<uint32_t>(value);
    } else if (addr >= kConfigDataPort && addr < kConfigDataPort + 4) {
      if ((config_address_ & kConfigEnable) != 0) {
        ConfigWrite({static_cast<uint8_t>(config_address_ >> 16),
                     static_cast<uint8_t>((config_address_ >> 11) & 31),
                     static_cast<uint8_t>((config_address_ >> 8) & 7)},
                    static_cast<uint16_t>((config_address_ & 0xFC) | (addr - kConfigDataPort)),
                    width, value);
      }
    } else if (!In(rules_.io, addr, width)) {
      Violation("I/O write to port " + Hex(addr));
    }
    return;
  }
  if (addr >= rules_.config_base && addr < rules_.config_base + kEcamSize) {
    const uint64_t o = addr - rules_.config_base;
    ConfigWrite({static_cast<uint8_t>(o >> 20), static_cast<uint8_t>((o >> 15) & 31),
                 static_cast<uint8_t>((o >> 12) & 7)},
                static_cast<uint16_t>(o & 0xFFF), width, value);
    return;
  }
  if (window_base_ != 0 && addr >= window_base_) {
    const uint64_t o = addr - window_base_;
    if ((o >= kWindowControl && o + width <= kWindowControlEnd) ||
        (o >= kWindowAperture && o + width <= kWindowApertureEnd)) {
      return;
    }
  }
  if (!In(rules_.memory, addr, width)) {
    Violation("memory write to " + Hex(addr) + " (" + std::to_string(width) + " bytes)");
  }
}

// A fill that lies whole in one writable memory range, clear of configuration space, holds every
// write of it at once; any other goes write by write.
void BusMonitor::ObserveFill(Space space, uint64_t addr, unsigned width, uint64_t count,
                             uint64_t value, const Device *decoder) {
  const uint64_t size = count * width; // a fill stays inside the 4 GiB space
  const bool clearOfConfig =
      addr + size <= rules_.config_base || addr >= rules_.config_base + kEcamSize;
  if (space == Space::Memory && clearOfConfig && In(rules_.memory, addr, size)) {
    return;
  }
  AccessObserver::ObserveFill(space, addr, width, count, value, decoder);
}

void BusMonitor::CheckTime(const Clock &clock) {
  if (clock.Saturated() || clock.NowNs() > rules_.time_bound_ns) {
    Violation("run took " + std::to_string(clock.NowNs()) + " ns, bound " +
              std::to_string(rules_.time_bound_ns) + " ns");
  }
}

} // namespace sim
