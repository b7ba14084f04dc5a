#include "sim/smm/pmc_acpi.h"

namespace sim {

PmcAcpi::PmcAcpi(PciEcam &ecam, PmTimer &timer) : timer_(timer) {
  config_.SetWriteMask(kAbase, 2, 0xFF00);
  config_.SetWriteMask(kAcpiCntl, 1, kAcpiEnable | 0x07);
  config_.Set(kAbase, 2, 0x0001);
  config_.OnWrite([this](uint32_t offset, unsigned width) {
    if (offset < kAcpiCntl + 1 && offset + width > kAbase) {
      Decode();
    }
  });
  ecam.Attach(kBus, kDevice, kFunction, &config_);
}

void PmcAcpi::SetState(uint16_t abase, bool decode) {
  config_.Set(kAbase, 2, (abase & 0xFF00) | 0x0001);
  config_.Set(kAcpiCntl, 1, decode ? kAcpiEnable : 0);
  Decode();
}

void PmcAcpi::Decode() {
  if (DecodeEnabled()) {
    timer_.MapAt(static_cast<uint16_t>(AcpiBase() + PmTimer::kOffsetInBlock));
  } else {
    timer_.Unmap();
  }
}

} // namespace sim
