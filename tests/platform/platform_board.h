// A PEI board from scenario JSON, with the services pointer published below the IDT, so that
// platform code runs against the PCH and BMC models as it does inside a module callback.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "sim/pei/pei_board.h"

namespace test {

class PlatformBoard {
public:
  explicit PlatformBoard(const std::string &json = "{}")
      : board(sim::ParseScenario(nlohmann::json::parse(json), "test", ".")) {
    board.machine.cpu.SetPeiServicesSlot(reinterpret_cast<uintptr_t>(board.core.Services()));
  }
  sim::PlatformHardware &Platform() { return board.platform; }
  sim::GpioCommunity::PadRegisters Pad(uint8_t group, uint8_t pad) {
    return board.platform.Community(group).Pad(group, pad);
  }
  // Accesses the GPIO communities decoded.
  uint64_t GpioAccesses() const { return GpioWrites() + GpioReads(); }
  uint64_t GpioWrites() const {
    uint64_t n = 0;
    for (const auto &c : board.platform.gpio) {
      n += c->Counts().writes;
    }
    return n;
  }
  uint64_t GpioReads() const {
    uint64_t n = 0;
    for (const auto &c : board.platform.gpio) {
      n += c->Counts().reads;
    }
    return n;
  }

  sim::PeiBoard board;
};

} // namespace test
