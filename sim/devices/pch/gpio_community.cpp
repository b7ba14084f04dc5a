#include "sim/devices/pch/gpio_community.h"

#include <cstdio>
#include <stdexcept>
#include <string>

namespace sim {

namespace {
constexpr uint16_t kNone = GpioGroupLayout::kNoRegister;
constexpr unsigned kPadOwnPadsPerRegister = 8;
constexpr unsigned kPadOwnBitsPerPad = 4;
constexpr uint32_t kOwnerMask = 3;
constexpr size_t kMaxPadsPerGroup = 32; // a group's pads are bits of one 32-bit register

uint32_t PadMask(uint8_t pads) { return pads >= 32 ? 0xFFFFFFFFu : (1u << pads) - 1; }

std::string CommunityName(uint8_t port) {
  char name[32];
  std::snprintf(name, sizeof name, "gpio community 0x%02X", port);
  return name;
}
} // namespace

const std::array<GpioGroupLayout, kServerPchGpioGroups> &ServerPchGpioGroups() {
  // port, PAD_OWN, HOSTSW_OWN, GPI_GPE_EN, GPI_SMI_EN, GPI_NMI_EN, PADCFGLOCK, PADCFGLOCKTX,
  // PAD_CFG, pads
  static const std::array<GpioGroupLayout, kServerPchGpioGroups> groups = {{
      {0xAF, 0x20, 0x80, 0x130, kNone, kNone, 0x60, 0x64, 0x400, 24}, // 0
      {0xAF, 0x2C, 0x84, 0x134, 0x154, 0x174, 0x68, 0x6C, 0x4C0, 24}, // 1
      {0xAE, 0x20, 0x80, 0x130, 0x150, 0x170, 0x60, 0x64, 0x400, 24}, // 2
      {0xAE, 0x2C, 0x84, 0x134, 0x154, 0x174, 0x68, 0x6C, 0x4C0, 24}, // 3
      {0xAE, 0x38, 0x88, 0x138, 0x158, 0x178, 0x70, 0x74, 0x580, 13}, // 4
      {0xAF, 0x38, 0x88, 0x138, kNone, kNone, 0x70, 0x74, 0x580, 24}, // 5
      {0x11, 0x20, 0x80, 0x130, kNone, kNone, 0x60, 0x64, 0x400, 24}, // 6
      {0x11, 0x2C, 0x84, 0x134, kNone, kNone, 0x68, 0x6C, 0x4C0, 24}, // 7
      {0xAC, 0x20, 0x80, 0x130, 0x150, 0x170, 0x60, 0x64, 0x400, 11}, // 8
      {0xAB, 0x20, 0x80, 0x130, kNone, kNone, 0x60, 0x64, 0x400, 24}, // 9
      {0xAB, 0x2C, 0x84, 0x134, kNone, kNone, 0x68, 0x6C, 0x4C0, 11}, // 10
      {0x11, 0x38, 0x88, 0x138, kNone, kNone, 0x70, 0x74, 0x580, 20}, // 11
      {0xAD, 0x20, 0x80, 0x130, kNone, kNone, 0x60, 0x64, 0x400, 12}, // 12
  }};
  return groups;
}

const std::vector<uint8_t> &ServerPchGpioPorts() {
  static const std::vector<uint8_t> ports = {0xAF, 0xAE, 0x11, 0xAC, 0xAB, 0xAD};
  return ports;
}

GpioCommunity::GpioCommunity(Bus &bus, uint8_t port, const GpioPadStates &states)
    : Device(bus, CommunityName(port)), port_(port),
      region_(Region::Leaf(
          this, CommunityName(port), kBlockSize,
          [this](uint64_t o, unsigned w) { return LeafRead(o, w); },
          [this](uint64_t o, unsigned w, uint64_t v) { LeafWrite(o, w, v); }, kW32)) {
  const auto &table = ServerPchGpioGroups();
  for (size_t g = 0; g < table.size(); ++g) {
    if (table[g].port == port) {
      groups_.push_back({static_cast<uint8_t>(g), &table[g]});
    }
  }
  if (groups_.empty()) {
    throw std::logic_error(Name() + ": no pad group has this port");
  }
  pads_.resize(groups_.size() * kMaxPadsPerGroup);
  for (const GroupRegs &g : groups_) {
    DefineGroup(g, states);
  }
  bus.MapFixed(Space::Memory, kPcrBase + (uint64_t{port} << kPortShift), &region_);
}

void GpioCommunity::DefineGroup(const GroupRegs &g, const GpioPadStates &states) {
  const GpioGroupLayout &l = *g.layout;
  uint32_t owners[4] = {};
  uint32_t hostsw = 0, gpe = 0, lock = 0, lockTx = 0;
  for (uint8_t pad = 0; pad < l.pads; ++pad) {
    auto it = states.find({g.group, pad});
    const GpioPadPowerOn s = it == states.end() ? GpioPadPowerOn{} : it->second;
    const uint32_t bit = 1u << pad;
    owners[pad / kPadOwnPadsPerRegister] |= uint32_t{s.owner & kOwnerMask}
                                            << (kPadOwnBitsPerPad * (pad % kPadOwnPadsPerRegister));
    hostsw |= s.hostsw_own ? bit : 0;
    gpe |= s.gpe_en ? bit : 0;
    lock |= s.locked ? bit : 0;
    lockTx |= s.tx_locked ? bit : 0;
    const PadKey key{g.group, pad};
    const size_t index = PadIndex(g.group, pad);
    pads_[index].level = pads_[index].power_on_level = s.level & 1;

    const uint32_t dw0 = Dw0Offset(l, pad);
    regs_.Define({dw0, 4, s.dw0 & kDw0Writable, kDw0Writable, 0});
    regs_.Define({dw0 + 4, 4, s.dw1 & kDw1Writable, kDw1Writable, 0});
    regs_.OnRead(dw0, [this, index](uint64_t stored) -> uint64_t {
      PadState &p = pads_[index];
      ++p.reads.dw0_reads;
      if ((stored & kDw0InputBufferDisable) != 0) {
        return stored; // input buffer off: the input state reads 0
      }
      p.reads.last_level_read = p.level;
      return stored | (p.level != 0 ? kDw0RxState : 0);
    });
    // A locked pad keeps its configuration: the write is undone where the lock covers it.
    auto keepLocked = [this, key, dw0](uint32_t offset, uint32_t unlockedOnConfigLock) {
      return [this, key, dw0, offset, unlockedOnConfigLock](uint64_t before, uint64_t after) {
        const GroupRegs *grp = Group(key.group);
        uint64_t changeable = 0xFFFFFFFF;
        if (BitSet(grp->layout->lock, key.pad)) {
          changeable &= unlockedOnConfigLock;
        }
        if (offset == dw0 && BitSet(grp->layout->lock_tx, key.pad)) {
          changeable &= ~uint64_t{kDw0TxState};
        }
        regs_.Set(offset, 4, (before & ~changeable) | (after & changeable));
        if (observer_) {
          observer_(key.group, key.pad);
        }
      };
    };
    regs_.OnWrite(dw0, keepLocked(dw0, kDw0TxState));
    regs_.OnWrite(dw0 + 4, keepLocked(dw0 + 4, 0));
  }
  const uint32_t mask = PadMask(l.pads);
  for (unsigned r = 0; r * kPadOwnPadsPerRegister < l.pads; ++r) {
    regs_.Define({l.pad_own + 4u * r, 4, owners[r], 0, 0});
  }
  regs_.Define({l.hostsw_own, 4, hostsw, mask, 0});
  regs_.Define({l.gpe_en, 4, gpe, mask, 0});
  for (uint16_t reg : {l.smi_en, l.nmi_en}) {
    if (reg != kNone) {
      regs_.Define({reg, 4, 0, mask, 0});
    }
  }
  regs_.Define({l.lock, 4, lock, 0, 0});
  regs_.Define({l.lock_tx, 4, lockTx, 0, 0});
}

const GpioCommunity::GroupRegs *GpioCommunity::Group(uint8_t group) const {
  for (const GroupRegs &g : groups_) {
    if (g.group == group) {
      return &g;
    }
  }
  return nullptr;
}

bool GpioCommunity::HasGroup(uint8_t group) const { return Group(group) != nullptr; }

bool GpioCommunity::BitSet(uint16_t reg, uint8_t pad) const {
  return ((regs_.Get(reg, 4) >> pad) & 1u) != 0;
}

uint64_t GpioCommunity::LeafRead(uint64_t offset, unsigned width) {
  if ((offset & 3u) != 0) {
    GuestError(); // the community takes aligned dwords
    return ~0ull >> (64 - 8 * width);
  }
  return offset < kRegisterSpan ? regs_.Read(static_cast<uint32_t>(offset), width) : 0;
}

void GpioCommunity::LeafWrite(uint64_t offset, unsigned width, uint64_t value) {
  if ((offset & 3u) != 0) {
    GuestError();
    return;
  }
  if (offset < kRegisterSpan) {
    regs_.Write(static_cast<uint32_t>(offset), width, value);
  }
}

size_t GpioCommunity::PadIndex(uint8_t group, uint8_t pad) const {
  for (size_t i = 0; i < groups_.size(); ++i) {
    if (groups_[i].group == group && pad < groups_[i].layout->pads) {
      return i * kMaxPadsPerGroup + pad;
    }
  }
  throw std::out_of_range(Name() + ": no such pad");
}

void GpioCommunity::SetPadLevel(uint8_t group, uint8_t pad, uint8_t level) {
  pads_[PadIndex(group, pad)].level = level & 1;
}

void GpioCommunity::SetPadOwner(uint8_t group, uint8_t pad, uint8_t owner) {
  const GroupRegs *g = Group(group);
  if (g == nullptr || pad >= g->layout->pads) {
    throw std::out_of_range(Name() + ": no such pad");
  }
  const uint32_t reg = g->layout->pad_own + 4u * (pad / kPadOwnPadsPerRegister);
  const unsigned shift = kPadOwnBitsPerPad * (pad % kPadOwnPadsPerRegister);
  const uint64_t value = (regs_.Get(reg, 4) & ~(uint64_t{kOwnerMask} << shift)) |
                         (uint64_t{owner & kOwnerMask} << shift);
  regs_.Set(reg, 4, value);
}

GpioCommunity::PadRegisters GpioCommunity::Pad(uint8_t group, uint8_t pad) {
  const GroupRegs *g = Group(group);
  if (g == nullptr || pad >= g->layout->pads) {
    throw std::out_of_range(Name() + ": no such pad");
  }
  const GpioGroupLayout &l = *g->layout;
  uint32_t dw0 = static_cast<uint32_t>(regs_.Get(Dw0Offset(l, pad), 4));
  if ((dw0 & kDw0InputBufferDisable) == 0 && pads_[PadIndex(group, pad)].level != 0) {
    dw0 |= kDw0RxState;
  }
  const uint32_t ownReg = l.pad_own + 4u * (pad / kPadOwnPadsPerRegister);
  const unsigned shift = kPadOwnBitsPerPad * (pad % kPadOwnPadsPerRegister);
  return {dw0,
          static_cast<uint32_t>(regs_.Get(Dw0Offset(l, pad) + 4, 4)),
          static_cast<uint8_t>((regs_.Get(ownReg, 4) >> shift) & kOwnerMask),
          BitSet(l.hostsw_own, pad),
          BitSet(l.gpe_en, pad),
          BitSet(l.lock, pad),
          BitSet(l.lock_tx, pad)};
}

GpioCommunity::PadInputReads GpioCommunity::InputReads(uint8_t group, uint8_t pad) const {
  const GroupRegs *g = Group(group);
  return g == nullptr || pad >= g->layout->pads ? PadInputReads{}
                                                : pads_[PadIndex(group, pad)].reads;
}

uint8_t GpioCommunity::SidebandMessage(const SidebandRequest &request) {
  if (request.opcode != kOpcodeGpioLock || request.offset >= kRegisterSpan) {
    return P2sb::kStatusUnsuccessful;
  }
  for (const GroupRegs &g : groups_) {
    const uint16_t reg = static_cast<uint16_t>(request.offset);
    if (reg != g.layout->lock && reg != g.layout->lock_tx) {
      continue;
    }
    uint32_t enabled = 0;
    for (unsigned b = 0; b < 4; ++b) {
      enabled |= (request.byte_enables >> b & 1u) != 0 ? 0xFFu << (8 * b) : 0;
    }
    const uint64_t set = request.data & enabled & PadMask(g.layout->pads);
    regs_.Set(reg, 4, regs_.Get(reg, 4) | set); // lock bits stay set until reset
    return 0;
  }
  return P2sb::kStatusUnsuccessful;
}

void GpioCommunity::Reset() {
  regs_.Reset();
  for (PadState &p : pads_) {
    p.level = p.power_on_level;
  }
}

} // namespace sim
