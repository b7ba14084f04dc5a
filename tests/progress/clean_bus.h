// A full boot leaves a clean bus: no access a model rejects, and nothing unclaimed except the
// addresses listed here, the ones the board leaves unclaimed on purpose.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <utility>

#include "sim/core/bus.h"

namespace test {

// Every address a full boot may leave unclaimed on this board.
inline constexpr std::pair<sim::Space, uint64_t> kBoardUnclaimed[] = {
    // POST-code port: read once as a bus delay after each host decoder write. No LPC model
    // claims it on this board yet.
    {sim::Space::Io, 0x80},
};

inline bool BoardLeavesUnclaimed(sim::Space space, uint64_t addr) {
  for (const auto &[s, a] : kBoardUnclaimed) {
    if (s == space && a == addr) {
      return true;
    }
  }
  return false;
}

inline void ExpectCleanBus(sim::Bus &bus) {
  EXPECT_EQ(bus.Counts().guest_errors, 0u);
  for (const sim::UnclaimedAccess &u : bus.Unclaimed()) {
    EXPECT_TRUE(BoardLeavesUnclaimed(u.space, u.addr))
        << (u.space == sim::Space::Io ? "io " : "memory ") << std::hex << u.addr << " unclaimed "
        << std::dec << u.count << " times (" << u.where << ")";
  }
}

} // namespace test
