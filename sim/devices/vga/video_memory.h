// The memory behind the display controller's frame-buffer BAR, as the display engine scans it
// out and as the BAR decodes it. Plain video RAM implements it on a board without a chip model;
// the chip's DRAM implements it by showing the top of its DRAM.
#pragma once

#include <cstddef>
#include <cstdint>

#include "sim/core/region.h"

namespace sim {

class VideoMemory {
public:
  virtual ~VideoMemory() = default;
  // The leaf the frame-buffer BAR places on the bus.
  virtual Region &Bar0Leaf() = 0;
  virtual uint64_t Size() const = 0;
  // Bytes as the display engine reads them (no bus cost); bytes beyond Size() read 0.
  virtual void ReadBytes(uint64_t offset, uint8_t *out, size_t count) const = 0;
};

} // namespace sim
