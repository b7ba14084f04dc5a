// A PCI bus segment: the functions on it by device and function number, and its memory and I/O
// spaces as containers of the decode tree. A root bus has a fixed number; a bus behind a bridge
// takes its number from the bridge's secondary bus register. Configuration cycles are routed by
// bus number: to a function on this bus, or through a bridge whose secondary to subordinate range
// holds the number.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "sim/core/region.h"

namespace sim {

class PciFunction;
class PciBridge;

class PciBus {
public:
  // `owner` counts accesses that reach this bus's spaces but that no function claims (the
  // bridge above it; null for a root bus). `fixedNumber` < 0: numbered by `upstream`.
  PciBus(Device *owner, const std::string &name, int fixedNumber, PciBridge *upstream = nullptr);

  Region &Memory() { return memory_; }
  Region &Io() { return io_; }
  int Number() const;

  void Attach(uint8_t device, uint8_t function, PciFunction *f);
  PciFunction *Slot(uint8_t device, uint8_t function) const;
  // The function a configuration cycle for (bus, device, function) reaches from here, or null.
  PciFunction *Route(uint8_t bus, uint8_t device, uint8_t function) const;

private:
  Region memory_;
  Region io_;
  int fixed_number_;
  PciBridge *upstream_;
  std::array<PciFunction *, 256> slots_{}; // device << 3 | function
  // The bridges among them, by slot: a configuration cycle for another bus takes the first that
  // forwards it.
  std::vector<std::pair<uint16_t, PciBridge *>> bridges_;
};

} // namespace sim
