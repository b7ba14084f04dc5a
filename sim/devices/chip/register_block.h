// A block of the BMC chip's internal bus whose registers only store what software writes: every
// 32-bit register of the block keeps its value. A block with a protection key (the bus
// controller) ignores writes to its other registers until the key is written to offset 0, which
// then reads 1; any other value written there locks the block again and it reads 0.
// Used for the bus controller (AHBC) and the three watchdogs (WDT).
#pragma once

#include <optional>
#include <string>

#include "sim/core/bus.h"
#include "sim/core/register_file.h"

namespace sim {

class ChipRegisterBlock : public Device {
public:
  ChipRegisterBlock(Bus &bus, std::string name, uint32_t size, std::optional<uint32_t> key);

  Region &Leaf() { return leaf_; }
  bool Unlocked() const;
  void Reset() override;

  RegisterFile regs;

private:
  std::optional<uint32_t> key_;
  Region leaf_;
};

} // namespace sim
