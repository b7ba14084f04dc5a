// A full boot leaves a clean bus: no access a model rejects, and nothing unclaimed except the
// addresses listed here, the ones the board really leaves unclaimed.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <utility>

#include "modules/boot_progress_pei/graphics/screen.h"
#include "sim/pei/pei_board.h"

namespace test {

// Every address a full boot may leave unclaimed on this board.
inline constexpr std::pair<sim::Space, uint64_t> kBoardUnclaimed[] = {
    // POST-code port: read once as a bus delay after each host decoder write. No LPC model
    // claims it on this board yet.
    {sim::Space::Io, 0x80},
};

// Until bring-up has opened the display path nothing decodes the frame buffer or the VGA ports;
// the module draws only over a screen that came up (tests/progress/failed_bring_up_test.cpp
// requires no access at all after a failed one). Once bring-up has succeeded, none may go nowhere.
inline bool IsDisplayAddress(sim::Space space, uint64_t addr) {
  return space == sim::Space::Memory
             ? addr >= kFrameBufferBase && addr < kFrameBufferBase + kFrameBufferSize
             : addr >= 0x3B0 && addr <= 0x3DF;
}

inline bool BoardLeavesUnclaimed(const sim::PeiBoard &board, const sim::UnclaimedAccess &u) {
  for (const auto &[s, a] : kBoardUnclaimed) {
    if (s == u.space && a == u.addr) {
      return true;
    }
  }
  if (!IsDisplayAddress(u.space, u.addr)) {
    return false;
  }
  for (const sim::EnableCall &call : board.display.EnableCalls()) {
    if (call.status != EFI_SUCCESS) {
      continue;
    }
    uint64_t before = 0; // accesses to the address when the display came up
    for (const sim::UnclaimedAccess &then : call.unclaimed) {
      before += then.space == u.space && then.addr == u.addr ? then.count : 0;
    }
    return u.count == before;
  }
  return true; // the display never came up
}

inline void ExpectCleanBus(sim::PeiBoard &board) {
  sim::Bus &bus = board.machine.bus;
  EXPECT_EQ(bus.Counts().guest_errors, 0u);
  for (const sim::UnclaimedAccess &u : bus.Unclaimed()) {
    EXPECT_TRUE(BoardLeavesUnclaimed(board, u))
        << (u.space == sim::Space::Io ? "io " : "memory ") << std::hex << u.addr << " unclaimed "
        << std::dec << u.count << " times (" << u.where << ")";
  }
}

} // namespace test
