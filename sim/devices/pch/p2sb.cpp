#include "sim/devices/pch/p2sb.h"

#include "sim/devices/pci/pci_ids.h"

namespace sim {

namespace {
constexpr uint16_t kP2sbDeviceId = 0x0D31;
constexpr uint32_t kClassMemoryOther = 0x058000;

constexpr uint16_t kStatusWritable = 0xFF81; // opcode, posted, busy (start only)
constexpr unsigned kPortShift = 24;
constexpr uint32_t kLowOffsetMask = 0xFFFF;
constexpr unsigned kExtendedShift = 16;
constexpr unsigned kOpcodeShift = 8;
constexpr uint16_t kPostedBit = 1u << 7;
constexpr unsigned kByteEnableShift = 12;
constexpr unsigned kBarShift = 8;

uint64_t AllOnes(unsigned width) { return width >= 8 ? ~0ull : (1ull << (8 * width)) - 1; }

} // namespace

P2sb::P2sb(Bus &bus, PciBus &bus0, const Behaviour &behaviour)
    : PciFunction(bus, "p2sb 0:31.1",
                  Identity{kBoardVendorId, kP2sbDeviceId, kClassMemoryOther, 0}),
      behaviour_(behaviour) {
  config.Define({kAddressReg, 4, 0, 0xFFFFFFFF, 0});
  config.Define({kDataReg, 4, 0, 0xFFFFFFFF, 0});
  config.Define({kStatusReg, 2, 0, kStatusWritable, 0});
  config.Define({kRoutingReg, 2, 0, 0xFFFF, 0});
  config.Define({kExtendedAddressReg, 4, 0, 0xFFFFFFFF, 0});
  config.Define({kHideReg, 1, behaviour.hidden ? kHidden : 0u, kHidden, 0});

  // Hidden: every byte reads all ones (the locks below); only the hide register takes writes.
  config.OnRead(kHideReg, [this](uint64_t stored) { return Hidden() ? AllOnes(1) : stored; });
  config.OnRead(kStatusReg,
                [this](uint64_t stored) { return Hidden() ? AllOnes(2) : StatusRead(stored); });
  config.OnWrite(kStatusReg,
                 [this](uint64_t before, uint64_t after) { StatusWritten(before, after); });
  config.OnWrite(kHideReg, [this](uint64_t, uint64_t after) {
    hide_writes_.push_back(static_cast<uint8_t>(after));
  });
  auto hidden = [this] { return Hidden(); };
  config.Lock(0, kHideReg - 1, hidden, RegisterFile::LockMode::IgnoreWritesReadOnes);
  config.Lock(kHideReg + 1, kConfigSize - 1, hidden, RegisterFile::LockMode::IgnoreWritesReadOnes);
  AttachTo(bus0, kDevice, kFunction);
}

bool P2sb::Hidden() const { return (config.Get(kHideReg, 1) & kHidden) != 0; }

uint64_t P2sb::StatusRead(uint64_t stored) {
  if (!busy_ || behaviour_.stuck) {
    return stored;
  }
  if (reads_left_ > 0) {
    --reads_left_;
    return stored;
  }
  Complete();
  return config.Get(kStatusReg, 2);
}

void P2sb::StatusWritten(uint64_t before, uint64_t after) {
  if (busy_) {
    // The bridge owns the busy bit while a message is out: software cannot clear it.
    config.Set(kStatusReg, 2, after | kStatusBusy);
    return;
  }
  if ((before & kStatusBusy) == 0 && (after & kStatusBusy) != 0) {
    busy_ = true;
    reads_left_ = behaviour_.busy_reads;
    config.Set(kStatusReg, 2, after & ~uint64_t{kStatusResponseMask});
  }
}

void P2sb::Complete() {
  const uint32_t address = static_cast<uint32_t>(config.Get(kAddressReg, 4));
  const uint16_t status = static_cast<uint16_t>(config.Get(kStatusReg, 2));
  const uint16_t routing = static_cast<uint16_t>(config.Get(kRoutingReg, 2));
  const SidebandRequest request{static_cast<uint8_t>(address >> kPortShift),
                                static_cast<uint8_t>(status >> kOpcodeShift),
                                (status & kPostedBit) != 0,
                                (config.Get(kExtendedAddressReg, 4) << kExtendedShift) |
                                    (address & kLowOffsetMask),
                                static_cast<uint32_t>(config.Get(kDataReg, 4)),
                                static_cast<uint8_t>(routing >> kByteEnableShift),
                                static_cast<uint8_t>((routing >> kBarShift) & 7),
                                static_cast<uint8_t>(routing & 0xFF)};
  uint8_t answer = behaviour_.status;
  if (answer == 0) {
    auto it = endpoints_.find(request.port);
    answer = it == endpoints_.end() ? kStatusUnsuccessful : it->second->SidebandMessage(request);
  }
  answer &= 3;
  busy_ = false;
  config.Set(kStatusReg, 2,
             (status & ~uint64_t{kStatusBusy | kStatusResponseMask}) |
                 (uint64_t{answer} << kStatusResponseShift));
  messages_.push_back({request, answer});
}

void P2sb::Reset() {
  busy_ = false;
  reads_left_ = 0;
  PciFunction::Reset();
}

} // namespace sim
