// I/O port backend for host builds: every access goes to the current machine's bus.
#include "access/port_io.h"
#include "sim/core/machine.h"

using sim::Machine;
using sim::Space;

uint8_t IoRead8(uint16_t port) {
  return static_cast<uint8_t>(Machine::Current().bus.Read(Space::Io, port, 1));
}
uint16_t IoRead16(uint16_t port) {
  return static_cast<uint16_t>(Machine::Current().bus.Read(Space::Io, port, 2));
}
uint32_t IoRead32(uint16_t port) {
  return static_cast<uint32_t>(Machine::Current().bus.Read(Space::Io, port, 4));
}
void IoWrite8(uint16_t port, uint8_t value) {
  Machine::Current().bus.Write(Space::Io, port, 1, value);
}
void IoWrite16(uint16_t port, uint16_t value) {
  Machine::Current().bus.Write(Space::Io, port, 2, value);
}
void IoWrite32(uint16_t port, uint32_t value) {
  Machine::Current().bus.Write(Space::Io, port, 4, value);
}
