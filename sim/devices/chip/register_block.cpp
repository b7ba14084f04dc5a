#include "sim/devices/chip/register_block.h"

#include "sim/devices/chip/chip_regs.h"

namespace sim {

namespace {
constexpr uint32_t kKeyRegister = 0x00;
constexpr unsigned kRegisterWidth = 4;
} // namespace

ChipRegisterBlock::ChipRegisterBlock(Bus &bus, std::string name, uint32_t size,
                                     std::optional<uint32_t> key)
    : Device(bus, name), regs(size), key_(key), leaf_(regs.Leaf(this, name, kW32)) {
  regs.DefineRange(0, size / kRegisterWidth, kRegisterWidth, 0, 0xFFFFFFFFu);
  if (key_) {
    regs.Protect(
        {kKeyRegister, kRegisterWidth, *key_, chipreg::kKeyUnlocked, 0, kRegisterWidth, size - 1});
  }
}

bool ChipRegisterBlock::Unlocked() const { return !key_ || regs.Unlocked(kKeyRegister); }

void ChipRegisterBlock::Reset() { regs.Reset(); }

} // namespace sim
