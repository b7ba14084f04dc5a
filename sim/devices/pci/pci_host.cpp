#include "sim/devices/pci/pci_host.h"

#include <algorithm>

#include "sim/devices/pci/pci_ids.h"

namespace sim {

namespace {
constexpr uint64_t kConfigPortsBase = 0xCF8;
constexpr uint64_t kConfigPortsSize = 8;
constexpr uint64_t kDataPortOffset = 4;
constexpr uint32_t kConfigEnable = 0x80000000u;
constexpr uint32_t kBaseClassBridgeOther = 0x068000;

// 0:5.0 host decode registers.
constexpr uint16_t kConfigBaseReg = 0x90;
constexpr uint16_t kMmioBaseReg = 0x10C;  // 64 KiB units
constexpr uint16_t kMmioLimitReg = 0x10E; // 64 KiB units
constexpr unsigned kSixtyFourKiBShift = 16;
// 17:29.1 rule decoder.
constexpr uint16_t kRuleReg = 0x40;
constexpr uint16_t kRuleUpperReg = 0x44;
constexpr uint32_t kRuleEnable = 1u << 0;
constexpr uint32_t kRuleBaseMask = 0xFE; // address bits 31:25
constexpr unsigned kRuleBaseShift = 25;
constexpr unsigned kRuleLimitShift = 24; // bits 31:24: limit in 16 MiB units
constexpr uint32_t kRuleWritable = 0xFF0000FF;

constexpr int kSubtractivePriority = -1;

uint64_t AllOnes(unsigned width) { return width >= 8 ? ~0ull : (1ull << (8 * width)) - 1; }
} // namespace

PciHost::PciHost(Bus &bus, uint64_t configBase, bool decoders)
    : Device(bus, "pci-host"), config_base_(configBase), bus0_(this, "pci bus 0", kRootBus0),
      bus17_(this, "pci bus 17", kRootBus17),
      config_ports_(Region::Leaf(
          this, "pci config ports", kConfigPortsSize,
          [this](uint64_t o, unsigned w) { return ConfigPortRead(o, w); },
          [this](uint64_t o, unsigned w, uint64_t v) { ConfigPortWrite(o, w, v); },
          kW8 | kW16 | kW32)),
      ecam_(Region::Leaf(
          this, "ecam", kEcamSize,
          [this](uint64_t o, unsigned w) -> uint64_t {
            return ConfigRead(static_cast<uint8_t>(o >> 20), (o >> 15) & 31, (o >> 12) & 7,
                              o & 0xFFF, w);
          },
          [this](uint64_t o, unsigned w, uint64_t v) {
            ConfigWrite(static_cast<uint8_t>(o >> 20), (o >> 15) & 31, (o >> 12) & 7, o & 0xFFF, w,
                        static_cast<uint32_t>(v));
          },
          kW8 | kW16 | kW32)),
      mmio_window_(Region::Alias(this, "host mmio window", &bus0_.Memory(), 0, 1)),
      io_subtractive_(Region::Alias(this, "host io to bus 0", &bus0_.Io(), 0, Bus::kIoSpaceSize)) {
  bus.MapFixed(Space::Io, kConfigPortsBase, &config_ports_);
  bus.MapFixed(Space::Memory, configBase, &ecam_);
  bus.Root(Space::Io).AddSubregion(0, &io_subtractive_, kSubtractivePriority);

  decode_5_ = std::make_unique<PciFunction>(
      bus, "host-decode 0:5.0",
      PciFunction::Identity{kBoardVendorId, kHostDecodeDeviceId, kBaseClassBridgeOther, 0});
  decode_5_->config.Define({kConfigBaseReg, 4, configBase & 0xFFFFFFFFu, 0, 0});
  decode_5_->config.Define({kMmioBaseReg, 2, 0, 0xFFFF, 0});
  decode_5_->config.Define({kMmioLimitReg, 2, 0, 0xFFFF, 0});
  decode_29_ = std::make_unique<PciFunction>(
      bus, "host-decode 17:29.1",
      PciFunction::Identity{kBoardVendorId, kHostRuleDecodeDeviceId, kBaseClassBridgeOther, 0});
  decode_29_->config.Define({kRuleReg, 4, 0, kRuleWritable, 0});
  decode_29_->config.Define({kRuleUpperReg, 4, 0, 0xFFFFFFFF, 0});
  for (auto [f, reg] :
       {std::pair{decode_5_.get(), kMmioBaseReg}, std::pair{decode_5_.get(), kMmioLimitReg},
        std::pair{decode_29_.get(), kRuleReg}, std::pair{decode_29_.get(), kRuleUpperReg}}) {
    f->config.OnWrite(reg, [this](uint64_t, uint64_t) { Decode(); });
  }
  if (decoders) {
    decode_5_->AttachTo(bus0_, 5, 0);
    decode_29_->AttachTo(bus17_, 29, 1);
  }
  Decode();
}

PciHost::~PciHost() = default;

PciFunction *PciHost::Route(uint8_t bus, uint8_t device, uint8_t function) {
  if (bus == kRootBus17) {
    return bus17_.Route(bus, device, function);
  }
  if (PciFunction *f = bus0_.Route(bus, device, function)) {
    return f;
  }
  return bus17_.Route(bus, device, function);
}

uint32_t PciHost::ConfigRead(uint8_t bus, uint8_t device, uint8_t function, uint16_t reg,
                             unsigned width) {
  if ((reg & 3u) + width > 4) {
    GuestError(); // configuration accesses never cross a dword
    return static_cast<uint32_t>(AllOnes(width));
  }
  if (PciFunction *f = Route(bus, device, function)) {
    return f->ConfigRead(reg, width);
  }
  ++master_aborts_;
  return static_cast<uint32_t>(AllOnes(width));
}

void PciHost::ConfigWrite(uint8_t bus, uint8_t device, uint8_t function, uint16_t reg,
                          unsigned width, uint32_t value) {
  if ((reg & 3u) + width > 4) {
    GuestError();
    return;
  }
  if (PciFunction *f = Route(bus, device, function)) {
    f->ConfigWrite(reg, width, value);
    return;
  }
  ++master_aborts_;
}

uint64_t PciHost::ConfigPortRead(uint64_t offset, unsigned width) {
  if (offset < kDataPortOffset) {
    if (offset == 0 && width == 4) {
      return config_address_;
    }
    GuestError();
    return AllOnes(width);
  }
  if ((config_address_ & kConfigEnable) == 0) {
    ++master_aborts_;
    return AllOnes(width);
  }
  const uint16_t reg = static_cast<uint16_t>((config_address_ & 0xFC) | (offset - kDataPortOffset));
  return ConfigRead(static_cast<uint8_t>(config_address_ >> 16), (config_address_ >> 11) & 31,
                    (config_address_ >> 8) & 7, reg, width);
}

void PciHost::ConfigPortWrite(uint64_t offset, unsigned width, uint64_t value) {
  if (offset < kDataPortOffset) {
    if (offset == 0 && width == 4) {
      config_address_ = static_cast<uint32_t>(value);
    } else {
      GuestError();
    }
    return;
  }
  if ((config_address_ & kConfigEnable) == 0) {
    ++master_aborts_;
    return;
  }
  const uint16_t reg = static_cast<uint16_t>((config_address_ & 0xFC) | (offset - kDataPortOffset));
  ConfigWrite(static_cast<uint8_t>(config_address_ >> 16), (config_address_ >> 11) & 31,
              (config_address_ >> 8) & 7, reg, width, static_cast<uint32_t>(value));
}

PciHost::HostWindow PciHost::MmioWindow() const {
  const uint64_t aBase = decode_5_->config.Get(kMmioBaseReg, 2) << kSixtyFourKiBShift;
  const uint64_t aLimit = (decode_5_->config.Get(kMmioLimitReg, 2) << kSixtyFourKiBShift) | 0xFFFF;
  const uint32_t rule = static_cast<uint32_t>(decode_29_->config.Get(kRuleReg, 4));
  const uint64_t bBase = (decode_29_->config.Get(kRuleUpperReg, 4) << 32) |
                         (uint64_t{rule & kRuleBaseMask} << kRuleBaseShift);
  const uint64_t bLimit = (uint64_t{rule >> kRuleLimitShift} << kRuleLimitShift) | 0xFFFFFF;
  const uint64_t base = std::max({config_base_ + kEcamSize, aBase, bBase});
  const uint64_t limit = std::min({aLimit, bLimit, Bus::kMemorySpaceSize - 1});
  return {(rule & kRuleEnable) != 0 && aBase <= aLimit && base <= limit, base, limit};
}

void PciHost::Decode() {
  mmio_window_.Detach();
  const HostWindow w = MmioWindow();
  if (w.open) {
    mmio_window_.SetSize(w.limit - w.base + 1);
    mmio_window_.SetAliasOffset(w.base);
    bus_.Root(Space::Memory).AddSubregion(w.base, &mmio_window_);
  }
}

void PciHost::Reset() {
  config_address_ = 0;
  decode_5_->Reset();
  decode_29_->Reset();
  Decode();
}

} // namespace sim
