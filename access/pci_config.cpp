#include "access/pci_config.h"

#include "access/cpu.h"
#include "access/inlining.h"
#include "access/mmio.h"
#include "access/port_io.h"
#include "uefi/pi_pei.h"
#include "uefi/ppi/pcd.h"

namespace {
// Byte lanes of the data port: a byte at any of the four, a word at the low or high half.
constexpr uint16_t kByteLaneMask = 3;
constexpr uint16_t kWordLaneMask = 2;

void SelectRegister(uint8_t bus, uint8_t device, uint8_t function, uint16_t reg) {
  IoWrite32(kPciConfigAddressPort, PciConfigAddress(bus, device, function, reg));
}
} // namespace

uint8_t PciPortRead8(uint8_t bus, uint8_t device, uint8_t function, uint16_t reg) {
  SelectRegister(bus, device, function, reg);
  return IoRead8(static_cast<uint16_t>(kPciConfigDataPort + (reg & kByteLaneMask)));
}

uint16_t PciPortRead16(uint8_t bus, uint8_t device, uint8_t function, uint16_t reg) {
  SelectRegister(bus, device, function, reg);
  return IoRead16(static_cast<uint16_t>(kPciConfigDataPort + (reg & kWordLaneMask)));
}

uint32_t PciPortRead32(uint8_t bus, uint8_t device, uint8_t function, uint16_t reg) {
  SelectRegister(bus, device, function, reg);
  return IoRead32(kPciConfigDataPort);
}

void PciPortWrite8(uint8_t bus, uint8_t device, uint8_t function, uint16_t reg, uint8_t value) {
  SelectRegister(bus, device, function, reg);
  IoWrite8(static_cast<uint16_t>(kPciConfigDataPort + (reg & kByteLaneMask)), value);
}

void PciPortWrite16(uint8_t bus, uint8_t device, uint8_t function, uint16_t reg, uint16_t value) {
  SelectRegister(bus, device, function, reg);
  IoWrite16(static_cast<uint16_t>(kPciConfigDataPort + (reg & kWordLaneMask)), value);
}

void PciPortWrite32(uint8_t bus, uint8_t device, uint8_t function, uint16_t reg, uint32_t value) {
  SelectRegister(bus, device, function, reg);
  IoWrite32(kPciConfigDataPort, value);
}

namespace {
// The port mechanism reaches the first 256 bytes of a function; the rest needs ECAM.
constexpr uint16_t kFirstEcamOnlyRegister = 0x100;

bool UsesPorts(uint16_t reg) { return reg < kFirstEcamOnlyRegister; }

// The ECAM address of a register; false when the PCD service cannot be reached. These accessors
// take no services argument; the PEI core keeps its services pointer below the IDT base.
OUT_OF_LINE bool EcamAddress(uint8_t bus, uint8_t device, uint8_t function, uint16_t reg,
                             uintptr_t *address) {
  const EFI_PEI_SERVICES **peiServices =
      reinterpret_cast<const EFI_PEI_SERVICES **>(AsmReadPeiServicesPointer());
  if (peiServices == nullptr) {
    return false;
  }
  PCD_PPI *pcd = nullptr;
  (*peiServices)->LocatePpi(peiServices, &gPcdPpiGuid, 0, nullptr, reinterpret_cast<VOID **>(&pcd));
  if (pcd == nullptr) {
    return false;
  }
  // Only the low 32 bits of the base are used: PEI addresses the low 4 GiB.
  const uint32_t base = static_cast<uint32_t>(pcd->Get64(kPcdTokenPciExpressBaseAddress));
  *address = static_cast<uint32_t>(PciEcamAddress(base, bus, device, function, reg));
  return true;
}

// Without the PCD service there is no ECAM: reads answer as an absent function, writes drop.
template <typename Value, typename PortRead, typename MmioRead>
Value Read(uint8_t bus, uint8_t device, uint8_t function, uint16_t reg, PortRead portRead,
           MmioRead mmioRead) {
  if (UsesPorts(reg)) {
    return portRead(bus, device, function, reg);
  }
  uintptr_t address = 0;
  if (!EcamAddress(bus, device, function, reg, &address)) {
    return static_cast<Value>(~Value{0});
  }
  return mmioRead(address);
}

template <typename Value, typename PortWrite, typename MmioWrite, typename MmioRead>
void Write(uint8_t bus, uint8_t device, uint8_t function, uint16_t reg, Value value,
           PortWrite portWrite, MmioWrite mmioWrite, MmioRead mmioRead) {
  if (UsesPorts(reg)) {
    portWrite(bus, device, function, reg, value);
    return;
  }
  uintptr_t address = 0;
  if (EcamAddress(bus, device, function, reg, &address)) {
    mmioWrite(address, value);
    (void)mmioRead(address);
  }
}
} // namespace

AT_CALL_SITE uint8_t PciRead8(uint8_t bus, uint8_t device, uint8_t function, uint16_t reg) {
  return Read<uint8_t>(bus, device, function, reg, PciPortRead8, MmioRead8);
}

AT_CALL_SITE uint16_t PciRead16(uint8_t bus, uint8_t device, uint8_t function, uint16_t reg) {
  return Read<uint16_t>(bus, device, function, reg, PciPortRead16, MmioRead16);
}

AT_CALL_SITE uint32_t PciRead32(uint8_t bus, uint8_t device, uint8_t function, uint16_t reg) {
  return Read<uint32_t>(bus, device, function, reg, PciPortRead32, MmioRead32);
}

AT_CALL_SITE void PciWrite8(uint8_t bus, uint8_t device, uint8_t function, uint16_t reg,
                            uint8_t value) {
  Write(bus, device, function, reg, value, PciPortWrite8, MmioWrite8, MmioRead8);
}

AT_CALL_SITE void PciWrite16(uint8_t bus, uint8_t device, uint8_t function, uint16_t reg,
                             uint16_t value) {
  Write(bus, device, function, reg, value, PciPortWrite16, MmioWrite16, MmioRead16);
}

AT_CALL_SITE void PciWrite32(uint8_t bus, uint8_t device, uint8_t function, uint16_t reg,
                             uint32_t value) {
  Write(bus, device, function, reg, value, PciPortWrite32, MmioWrite32, MmioRead32);
}
