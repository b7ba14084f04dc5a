// The VGA palette DAC: 256 entries of 6-bit red, green and blue. Ports (8-bit only):
//   0x3C6 pixel mask (read/write), 0x3C7 read index (write) / DAC state (read),
//   0x3C8 write index (read/write), 0x3C9 data.
// Data writes collect red, green, blue, store the entry (bits 5:0 of each value) and move the
// write index on; data reads return the read index's entry a component at a time and move on.
// Setting either index restarts the component sequence. Power-on contents are all zero.
#pragma once

#include <array>
#include <cstdint>

#include "sim/core/bus.h"

namespace sim {

struct Rgb6 {
  uint8_t r = 0, g = 0, b = 0;
  bool operator==(const Rgb6 &) const = default;
};

// A 6-bit DAC value as 8 bits, replicating the top bits so 0x3F becomes 0xFF.
constexpr uint8_t Expand6To8(uint8_t v) {
  return static_cast<uint8_t>((v & 0x3F) << 2 | (v & 0x3F) >> 4);
}

class VgaDac : public Device {
public:
  static constexpr uint16_t kPortBase = 0x3C6;
  static constexpr uint16_t kPortCount = 4;
  // A DAC at its fixed ports; with `placeFixed` false the owner places Leaf() where it decodes.
  explicit VgaDac(Bus &bus, bool placeFixed = true);

  Region &Leaf() { return region_; }
  void Reset() override;
  uint8_t Read(uint16_t port);
  void Write(uint16_t port, uint8_t value);

  const std::array<Rgb6, 256> &Palette() const { return palette_; }
  uint8_t PixelMask() const { return pixel_mask_; }
  // Entries written through the data port since reset, for tests and reports.
  uint64_t EntryWrites() const { return entry_writes_; }

private:
  std::array<Rgb6, 256> palette_{};
  uint8_t pixel_mask_ = 0xFF;
  uint8_t write_index_ = 0;
  uint8_t read_index_ = 0;
  uint8_t component_ = 0; // 0 red, 1 green, 2 blue
  uint8_t pending_[3] = {};
  bool reading_ = false;
  uint64_t entry_writes_ = 0;
  Region region_;
};

} // namespace sim
