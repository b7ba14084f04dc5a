// Boots on a lying board: the lying bus itself (it lies only about what it targets, and only while
// its input lasts), and whole boots on a board whose every device read is random, which still
// reach their end within the time bound with every invariant of the bus monitor held.
#include <gtest/gtest.h>

#include <vector>

#include "sim/hostile/lying_bus.h"
#include "tests/progress/boot_fixture.h"
#include "tests/progress/random_bytes.h"

namespace {

constexpr char kWholeBoot[] = R"({"events": ["ProgressStart", "ScreenA", "Milestone5",
    "Milestone10", "Milestone15", "PermanentMemory", "Milestone30", "IpmiTransport", "Footer"]})";

TEST(LyingBus, LiesOnlyAboutItsTargetAndOnlyWhileTheInputLasts) {
  sim::Clock clock;
  sim::Bus bus(clock);
  const int a = bus.Map(sim::Space::Io, 0x100, 4, "a", [](uint64_t, unsigned) { return 0x11; }, {});
  const int b = bus.Map(sim::Space::Io, 0x200, 4, "b", [](uint64_t, unsigned) { return 0x22; }, {});
  sim::LyingBus liar(bus, sim::LyingBus::Mode::Choose);
  liar.Lie({sim::ReadPath::Io, nullptr, 0x100, 0x103});
  const uint8_t input[] = {0x01, 0xAB, 0xCD, 0x00, 0x03, 0x77};
  liar.Feed(input, sizeof input);
  EXPECT_EQ(bus.Read(sim::Space::Io, 0x200, 1), 0x22u);   // not a target: no input taken
  EXPECT_EQ(bus.Read(sim::Space::Io, 0x100, 2), 0xCDABu); // odd: the next two bytes
  EXPECT_EQ(bus.Read(sim::Space::Io, 0x100, 1), 0x11u);   // even: the honest value
  EXPECT_EQ(bus.Read(sim::Space::Io, 0x101, 2), 0x0077u); // short input: missing bytes read 0
  EXPECT_TRUE(liar.Exhausted());
  EXPECT_EQ(bus.Read(sim::Space::Io, 0x100, 1), 0x11u);
  EXPECT_EQ(liar.Lies(), 2u);
  bus.Unmap(a);
  bus.Unmap(b);
}

TEST(BusMonitor, AWriteOutsideWhatTheFirmwareOwnsIsAViolation) {
  test::Boot b(kWholeBoot);
  sim::PeiBootMonitor monitor(b.board);
  sim::Bus &bus = b.board.machine.bus;
  bus.Write(sim::Space::Memory, 0xFF000000, 4, 0);               // flash
  bus.Write(sim::Space::Io, 0xCF8, 4, 0x80000000u | (3u << 16)); // bus 3: nothing the module walks
  bus.Write(sim::Space::Io, 0xCFC, 4, 0);
  bus.Write(sim::Space::Io, 0xCF8, 4, 0x80020010u); // 2:0.0 BAR0
  bus.Write(sim::Space::Io, 0xCFC, 4, 0xFF000000u); // over the flash
  bus.Write(sim::Space::Memory, 0xA0000000, 1, 7);  // the frame buffer: allowed
  EXPECT_EQ(monitor.Monitor().ViolationCount(), 3u) << monitor.Report();
}

TEST(HostileBoot, EveryDeviceReadRandomStillBootsToTheEndWithTheInvariantsHeld) {
  for (uint32_t seed : {1u, 2u, 3u}) {
    test::Boot b(kWholeBoot);
    const std::vector<uint8_t> input = test::RandomBytes(seed, 16 * 1024);
    sim::LyingBus liar(b.board.machine.bus, sim::LyingBus::Mode::Always);
    liar.LieAboutEverything();
    liar.Feed(input.data(), input.size());
    sim::PeiBootMonitor monitor(b.board);
    const sim::BootResult r = sim::RunPeiBoot(b.board);
    monitor.Finish();
    EXPECT_TRUE(monitor.Clean()) << "seed " << seed << ": " << monitor.Report();
    ASSERT_EQ(r.events.size(), 9u);
    EXPECT_EQ(r.events.back().percent, 30) << seed;
    EXPECT_GT(liar.Lies(), 0u);
    EXPECT_LE(b.board.machine.clock.NowNs(), sim::kPeiBootBoundNs);
  }
}

} // namespace
