// A PEI board for bring-up tests: built from a "display" scenario key, with the bus traced on
// request so a test sees the configuration writes, stalls and VGA port accesses in the order the
// module made them, and model-side readers for PCI configuration and VGA registers.
#pragma once

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "modules/boot_progress_pei/graphics/graphics_enable.h"
#include "sim/pei/pei_board.h"

namespace test {

struct BusEvent {
  enum Kind { ConfigWrite, Stall, VgaPort, Other } kind;
  uint8_t bus = 0, device = 0, function = 0;
  uint16_t reg = 0;
  uint64_t value = 0; // written value; Stall: microseconds; VgaPort: the port
  bool write = false;
  bool operator==(const BusEvent &) const = default;
};

inline BusEvent ConfigWriteOf(uint8_t bus, uint8_t device, uint8_t function, uint16_t reg,
                              uint64_t value) {
  return {BusEvent::ConfigWrite, bus, device, function, reg, value, true};
}
inline BusEvent StallOf(uint64_t us) { return {BusEvent::Stall, 0, 0, 0, 0, us, false}; }

class DisplayBoard {
public:
  explicit DisplayBoard(const std::string &display = "{}", const std::string &more = "")
      : board(sim::ParseScenario(nlohmann::json::parse(R"({"display": )" + display + more + "}"),
                                 "test", ".")) {
    board.machine.cpu.SetPeiServicesSlot(reinterpret_cast<uintptr_t>(board.core.Services()));
  }
  ~DisplayBoard() { board.machine.bus.SetTrace(nullptr); }

  // What the screen callback does: the host window, then the bring-up.
  EFI_STATUS Enable() {
    OpenHostMmioWindow();
    return EnableGraphicsController(&state, board.core.Services());
  }

  // Configuration space as the model holds it (no bus access).
  uint64_t Config(uint8_t bus, uint8_t device, uint8_t function, uint16_t reg, unsigned width) {
    sim::PciFunction *f = board.pci.Route(bus, device, function);
    return f ? f->config.Get(reg, width) : ~0ull;
  }
  uint8_t Crtc(uint8_t index) const { return board.display.Controller()->Crtc(index); }
  sim::VgaController &Vga() { return *board.display.Controller(); }

  void StartTrace() { board.machine.bus.SetTrace(&trace_); }
  // The traced accesses since the last call, as configuration writes (through 0xCF8/0xCFC),
  // stalls, VGA port accesses (0x3B0-0x3DF) and the rest.
  std::vector<BusEvent> Events();

  sim::PeiBoard board;
  GraphicsDeviceState state{};

private:
  std::stringstream text_;
  sim::Trace trace_{text_};
  uint32_t config_address_ = 0;
};

// Configuration writes and stalls only, in order.
std::vector<BusEvent> ConfigWritesAndStalls(const std::vector<BusEvent> &events);
// Whether any VGA port was read or written.
bool TouchesVgaPorts(const std::vector<BusEvent> &events);

} // namespace test
