#include "modules/boot_progress_pei/graphics/vga_ports.h"

#include "access/port_io.h"

void VgaWrite(VgaIndexedPort port, uint8_t index, uint8_t value) {
  IoWrite8(port.IndexPort, index);
  IoWrite8(port.DataPort, value);
}

uint8_t VgaRead(VgaIndexedPort port, uint8_t index) {
  IoWrite8(port.IndexPort, index);
  return IoRead8(port.DataPort);
}

void VgaUpdate(VgaIndexedPort port, uint8_t index, uint8_t keepMask, uint8_t value) {
  IoWrite8(port.IndexPort, index);
  const uint8_t kept = static_cast<uint8_t>(IoRead8(port.DataPort) & keepMask);
  IoWrite8(port.DataPort, static_cast<uint8_t>(kept | value));
}
