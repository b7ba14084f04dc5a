#include "sim/devices/chip/register_block.h"

#include "sim/devices/chip/chip_regs.h"

namespace sim {

namespace {
constexpr uint32_t kKeyRegister = 0x00;
constexpr unsigned kRegisterWidth = 4;
} // namespace

ChipRegisterBlock::ChipRegisterBlock(Bus &bus, std::string name, uint32_t size,
                                     std::optional<uint32_t> key)
    : Device(bus, name), regs(size), key_(key),
      leaf_(Region::Leaf(
          this, name, size,
          [this](uint64_t offset, unsigned width) {
            return regs.Read(static_cast<uint32_t>(offset), width);
          },
          [this](uint64_t offset, unsigned width, uint64_t value) {
            regs.Write(static_cast<uint32_t>(offset), width, value);
          },
          kW32)) {
  regs.DefineRange(0, size / kRegisterWidth, kRegisterWidth, 0, 0xFFFFFFFFu);
  if (key_) {
    regs.OnRead(kKeyRegister,
                [this](uint64_t) -> uint64_t { return Unlocked() ? chipreg::kKeyUnlocked : 0; });
    regs.Lock(kRegisterWidth, size - 1, [this] { return !Unlocked(); });
  }
}

bool ChipRegisterBlock::Unlocked() const {
  return !key_ || regs.Get(kKeyRegister, kRegisterWidth) == *key_;
}

void ChipRegisterBlock::Reset() { regs.Reset(); }

} // namespace sim
