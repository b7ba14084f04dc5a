// One-line markers on the debug console (I/O port 0x402 of the virtual machine), so that a trace
// of the machine's bus can be cut where the test modules say what they are about to do.
#pragma once

#include "access/port_io.h"
#include "uefi/uefi_base.h"

namespace qemu_test {

constexpr uint16_t kDebugConsolePort = 0x402;

inline void ConsoleText(const char *text) {
  for (; *text != '\0'; ++text) {
    IoWrite8(kDebugConsolePort, static_cast<uint8_t>(*text));
  }
}

inline void ConsoleHex(UINT64 value, unsigned digits) {
  for (unsigned i = digits; i-- > 0;) {
    IoWrite8(kDebugConsolePort, static_cast<uint8_t>("0123456789ABCDEF"[(value >> (4 * i)) & 0xF]));
  }
}

inline void ConsoleLine(const char *text) {
  ConsoleText(text);
  IoWrite8(kDebugConsolePort, '\n');
}

} // namespace qemu_test
