#include "sim/devices/pch/pmc_acpi.h"

#include "sim/devices/pci/pci_ids.h"

namespace sim {

namespace {
constexpr uint16_t kPmcDeviceId = 0x0D1F;
constexpr uint32_t kClassOtherBridge = 0x058000; // memory controller class, other
constexpr uint16_t kAbaseIoSpace = 0x0001;
constexpr uint8_t kSciRouting = 0x07;
} // namespace

PmcAcpi::PmcAcpi(Bus &bus, PciHost &host, PmTimer &timer)
    : PciFunction(bus, "pmc 0:31.2", {kBoardVendorId, kPmcDeviceId, kClassOtherBridge, 0}),
      timer_(timer) {
  config.Define({kAbase, 2, kAbaseIoSpace, 0xFF00, 0});
  config.Define({kAcpiCntl, 1, 0, kAcpiEnable | kSciRouting, 0});
  config.OnWrite(kAbase, [this](uint64_t, uint64_t) { Decode(); });
  config.OnWrite(kAcpiCntl, [this](uint64_t, uint64_t) { Decode(); });
  AttachTo(host.RootBus0(), kDevice, kFunction);
}

void PmcAcpi::SetState(uint16_t abase, bool decode) {
  config.Set(kAbase, 2, (abase & 0xFF00) | kAbaseIoSpace);
  config.Set(kAcpiCntl, 1, decode ? kAcpiEnable : 0);
  Decode();
}

void PmcAcpi::Decode() {
  PciFunction::Decode();
  if (DecodeEnabled()) {
    timer_.MapAt(static_cast<uint16_t>(AcpiBase() + PmTimer::kOffsetInBlock));
  } else {
    timer_.Unmap();
  }
}

} // namespace sim
