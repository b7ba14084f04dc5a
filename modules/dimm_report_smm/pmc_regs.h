// Registers of the PCH power-management controller (PCI bus 0, device 31, function 2) that the
// driver touches, and the ACPI PM timer behind the ACPI I/O base they decode.
#pragma once

#include "uefi/uefi_base.h"

struct PmcDevice {
  static constexpr UINT8 kBus = 0;
  static constexpr UINT8 kDevice = 31;
  static constexpr UINT8 kFunction = 2;
};

// ABASE, 16 bits used: the ACPI I/O base address.
struct PmcAcpiBase {
  static constexpr UINT32 kOffset = 0x40;
  static constexpr UINT16 kBoardBase = 0x0500; // where this board keeps the ACPI I/O block
};

// ACPI_CNTL, 8 bits used: bit 7 enables decode of the ACPI I/O block.
struct PmcAcpiControl {
  static constexpr UINT32 kOffset = 0x44;
  static constexpr UINT8 kAcpiEnable = 1u << 7;
};

// ACPI PM timer: 24-bit count at 3.579545 MHz, 8 bytes into the ACPI I/O block.
struct AcpiPmTimer {
  static constexpr UINT16 kPort = PmcAcpiBase::kBoardBase + 0x08;
  static constexpr UINT32 kCountMask = 0x00FFFFFF;
  static constexpr UINT32 kHz = 3579545;
};
