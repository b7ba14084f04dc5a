#include "sim/devices/vga/vga_dac.h"

namespace sim {

namespace {
constexpr uint8_t kSixBits = 0x3F;
constexpr uint16_t kPixelMask = 0x3C6;
constexpr uint16_t kReadIndex = 0x3C7;
constexpr uint16_t kWriteIndex = 0x3C8;
} // namespace

VgaDac::VgaDac(Bus &bus, bool placeFixed)
    : Device(bus, "vga-dac"),
      region_(Region::Leaf(
          this, "vga-dac", kPortCount,
          [this](uint64_t offset, unsigned) {
            return Read(static_cast<uint16_t>(kPortBase + offset));
          },
          [this](uint64_t offset, unsigned, uint64_t value) {
            Write(static_cast<uint16_t>(kPortBase + offset), static_cast<uint8_t>(value));
          },
          kW8)) {
  if (placeFixed) {
    bus.MapFixed(Space::Io, kPortBase, &region_);
  }
}

void VgaDac::Reset() {
  palette_ = {};
  pixel_mask_ = 0xFF;
  write_index_ = read_index_ = component_ = 0;
  reading_ = false;
  entry_writes_ = 0;
}

uint8_t VgaDac::Read(uint16_t port) {
  switch (port) {
  case kPixelMask:
    return pixel_mask_;
  case kReadIndex:
    return reading_ ? 0x03 : 0x00; // DAC state: 3 after a read index was set, 0 after a write index
  case kWriteIndex:
    return write_index_;
  default: { // data
    const Rgb6 &e = palette_[read_index_];
    const uint8_t v = component_ == 0 ? e.r : component_ == 1 ? e.g : e.b;
    if (++component_ == 3) {
      component_ = 0;
      ++read_index_;
    }
    return v;
  }
  }
}

void VgaDac::Write(uint16_t port, uint8_t value) {
  switch (port) {
  case kPixelMask:
    pixel_mask_ = value;
    break;
  case kReadIndex:
    read_index_ = value;
    component_ = 0;
    reading_ = true;
    break;
  case kWriteIndex:
    write_index_ = value;
    component_ = 0;
    reading_ = false;
    break;
  default: // data
    pending_[component_] = value & kSixBits;
    if (++component_ == 3) {
      palette_[write_index_] = {pending_[0], pending_[1], pending_[2]};
      component_ = 0;
      ++write_index_;
      ++entry_writes_;
    }
    break;
  }
}

} // namespace sim
