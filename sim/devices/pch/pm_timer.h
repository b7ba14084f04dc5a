// The ACPI PM timer: a 24-bit up-counter at 3.579545 MHz of virtual time that wraps to 0,
// read as a 32-bit port (bits 31:24 read 0). It decodes only where the power-management
// controller places the ACPI I/O block; until then it is not on the bus.
#pragma once

#include <cstdint>
#include <vector>

#include "sim/core/bus.h"

namespace sim {

class PmTimer : public Device {
public:
  static constexpr uint64_t kHz = 3579545;
  static constexpr uint32_t kMask = 0x00FFFFFF;
  static constexpr uint16_t kOffsetInBlock = 0x08;
  static constexpr size_t kReadLogLimit = 4096;

  explicit PmTimer(Bus &bus);

  // Decodes the timer at `port` (the ACPI I/O base + 8), or stops decoding.
  void MapAt(uint16_t port);
  void Unmap();
  bool Mapped() const { return region_.Parent() != nullptr; }
  uint16_t Port() const { return port_; }

  uint32_t Count() const;
  // Makes the count read `value` now; it runs on from there.
  void SetCount(uint32_t value);

  // Values returned by port reads, in order (the first kReadLogLimit).
  const std::vector<uint32_t> &Reads() const { return reads_; }
  uint64_t ReadCount() const { return read_count_; }

  // The count runs with virtual time from power-on; a reset forgets SetCount and the read log.
  void Reset() override;

private:
  uint64_t Ticks() const;
  uint16_t port_ = 0;
  uint64_t offset_ = 0; // added to the ticks of virtual time
  std::vector<uint32_t> reads_;
  uint64_t read_count_ = 0;
  Region region_;
};

} // namespace sim
