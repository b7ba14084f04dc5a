#include "access/pci_config.h"

#include "access/port_io.h"

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
