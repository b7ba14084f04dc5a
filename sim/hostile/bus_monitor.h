// An invariant monitor that watches the bus, not the module: every write the processor makes is
// checked against the places the firmware owns, and a run's end against its time bound.
//   - I/O: configuration cycles (0xCF8 latched, 0xCFC-0xCFF) only to the functions listed, and
//     writes only to the listed ports;
//   - memory: ECAM writes only to the listed functions, and other writes only to the listed
//     ranges or the chip's register window (control words at +0xF000/+0xF004 and the aperture
//     at +0x10000 to +0x1FFFF of the address last written to the window BAR);
//   - values the firmware hands out: a BAR written anything but the sizing pattern must land in
//     one of the assignable ranges;
//   - time: the run ends within its bound and the clock never saturates.
// A violation is kept as text (the first kMaxKept) and counted.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "sim/core/bus.h"

namespace sim {

struct PciAddress {
  uint8_t bus, device, function;
  bool operator==(const PciAddress &) const = default;
};

class BusMonitor : public AccessObserver {
public:
  static constexpr size_t kMaxKept = 16;
  struct Range {
    uint64_t first, last; // inclusive
  };
  struct Rules {
    uint64_t config_base = 0;                   // ECAM, 256 MiB
    std::vector<PciAddress> writable_functions; // configuration writes allowed
    std::vector<Range> io;                      // ports writable besides 0xCF8-0xCFF
    std::vector<Range> memory;                  // memory writable besides ECAM and the window
    PciAddress window_function{};               // whose BAR holds the chip's register window
    uint16_t window_bar = 0x14;
    PciAddress assigning_function{}; // whose BARs the firmware assigns
    std::vector<Range> assignable;   // where those BARs may go
    uint64_t time_bound_ns = ~uint64_t{0};
  };

  BusMonitor(Bus &bus, Rules rules);
  ~BusMonitor() override;
  BusMonitor(const BusMonitor &) = delete;
  BusMonitor &operator=(const BusMonitor &) = delete;

  void Observe(Space space, bool write, uint64_t addr, unsigned width, uint64_t value,
               const Device *decoder) override;
  void ObserveFill(Space space, uint64_t addr, unsigned width, uint64_t count, uint64_t value,
                   const Device *decoder) override;
  // Forgets what it saw (for a board that is reset and run again).
  void Restart();
  // At the end of a run: the time bound.
  void CheckTime(const Clock &clock);
  // Records a violation found by a check outside the bus (run-end state).
  void Violation(std::string what);

  const std::vector<std::string> &Violations() const { return kept_; }
  uint64_t ViolationCount() const { return count_; }
  bool Clean() const { return count_ == 0; }
  // All violations as one text, for test failure messages.
  std::string Report() const;
  uint64_t WindowBase() const { return window_base_; }

private:
  void ConfigWrite(PciAddress at, uint16_t reg, unsigned width, uint64_t value);
  bool Writable(PciAddress at) const;
  static bool In(const std::vector<Range> &ranges, uint64_t addr, uint64_t size);

  Bus &bus_;
  Rules rules_;
  uint32_t config_address_ = 0;
  uint64_t window_base_ = 0; // 0 until the window BAR is assigned
  std::vector<std::string> kept_;
  uint64_t count_ = 0;
};

} // namespace sim
