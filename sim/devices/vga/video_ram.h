// Plain video RAM behind the frame-buffer BAR: the display controller's memory on a board
// without a model of the chip's DRAM. Byte-addressable at every width, zero at power-on.
#pragma once

#include "sim/devices/memory/ram_device.h"
#include "sim/devices/vga/video_memory.h"

namespace sim {

class VideoRam : public RamDevice, public VideoMemory {
public:
  VideoRam(Bus &bus, uint64_t size, std::string name) : RamDevice(bus, size, std::move(name)) {}

  Region &Bar0Leaf() override { return Leaf(); }
  uint64_t Size() const override { return RamDevice::Size(); }
  void ReadBytes(uint64_t offset, uint8_t *out, size_t count) const override;
};

} // namespace sim
