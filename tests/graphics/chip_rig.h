// A bench for the chip start-up code: a machine with the BMC chip's register window placed at a
// fixed MMIO address (standing for BAR1 as bring-up assigns it), a PEI core for Stall, and a
// stand-in for the display controller's CRTC index/data ports that answers register 0xD0 with
// the chip's SCU40 bits 7:6. A trace of the bus can be decoded into the chip accesses it made.
#pragma once

#include <cstdint>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "modules/boot_progress_pei/graphics/graphics_device_state.h"
#include "sim/core/machine.h"
#include "sim/core/trace.h"
#include "sim/devices/chip/bmc_chip.h"
#include "sim/pei/pei_core.h"

namespace test {

// CRTC index port 0x3D4 and data port 0x3D5, 8-bit. Register 0xD0 reads `source()`; every other
// register reads 0; data writes are ignored.
class CrtcD0Double : public sim::Device {
public:
  static constexpr uint16_t kIndexPort = 0x3D4;
  static constexpr uint8_t kChipStateIndex = 0xD0;

  CrtcD0Double(sim::Bus &bus, std::function<uint8_t()> source);
  void Reset() override { index_ = 0; }

  std::function<uint8_t()> source;

private:
  uint8_t index_ = 0;
  sim::Region ports_;
};

// One access the module made to the chip, decoded from the bus trace: an internal address read
// or written through the window, or a Stall.
struct ChipAccess {
  char op; // 'r', 'w', or 's' (Stall, value = microseconds)
  uint32_t addr;
  uint32_t value;
};

class ChipRig {
public:
  static constexpr uint32_t kMmioBase = 0xA1000000; // where bring-up places BAR1

  explicit ChipRig(const sim::ChipConfig &config = {});
  ~ChipRig();

  const EFI_PEI_SERVICES **Services() { return core.Services(); }
  double Seconds() const { return static_cast<double>(machine.clock.NowNs()) / 1e9; }
  // Bits 5:0 of CRTC 0xD0, which the chip does not drive.
  uint8_t crtc_low_bits = 0;

  // Records every bus access from now on; Accesses() decodes them.
  void StartTrace();
  std::vector<ChipAccess> Accesses() const;
  std::vector<std::string> TraceLines() const;
  // Internal-bus accesses of `op` to `addr` (with `value` unless it is -1).
  size_t Count(char op, uint32_t addr, int64_t value = -1) const;

  sim::Machine machine;
  sim::PeiCore core{machine, 0};
  sim::BmcChip chip;
  CrtcD0Double crtc;
  GraphicsDeviceState state{};

private:
  std::ostringstream trace_text_;
  sim::Trace trace_{trace_text_};
};

sim::ChipConfig ChipConfigFrom(const std::string &json);

} // namespace test
