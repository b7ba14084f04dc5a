// After a bring-up that failed, the callbacks that draw (bar, footer, address line, palette) leave
// the frame buffer's address and the DAC alone, since another device may decode them, while the
// progress record still advances; a screen that came up is drawn on as before.
#include <gtest/gtest.h>

#include "modules/boot_progress_pei/platform/module_state.h"
#include "tests/progress/boot_fixture.h"

namespace {

constexpr char kWholeBoot[] = R"("events": ["ProgressStart", "ScreenA", "Milestone5", "Milestone10",
    "Milestone15", "PermanentMemory", "Milestone30", "IpmiTransport", "Footer"])";

// Counts what reaches the display addresses, decoded or not.
struct DisplayAccesses : sim::AccessObserver {
  explicit DisplayAccesses(sim::Bus &bus) : bus(bus) { bus.AddObserver(this); }
  ~DisplayAccesses() override { bus.RemoveObserver(this); }
  void Observe(sim::Space space, bool write, uint64_t addr, unsigned, uint64_t,
               const sim::Device *) override {
    if (space == sim::Space::Memory && write && addr >= 0xA0000000 && addr < 0xA0000000 + 480000) {
      ++frame_writes;
    }
    if (space == sim::Space::Io && addr >= 0x3C6 && addr <= 0x3C9) {
      ++dac;
    }
  }
  sim::Bus &bus;
  uint64_t frame_writes = 0, dac = 0;
};

TEST(FailedBringUp, NothingIsDrawnAndTheRecordStillAdvances) {
  for (const char *display :
       {R"({"chip": {"scu_never_unlocks": true}})", R"({"chip": {"never_started": true}})",
        R"({"root_port_function": null})",
        R"({"bars": [{"kind": "memory", "size": 16777216},
                                           {"kind": "io", "size": 128}]})"}) {
    test::Boot b(std::string("{") + kWholeBoot + R"(, "display": )" + display + "}");
    DisplayAccesses seen(b.board.machine.bus);
    const sim::BootResult r = b.Run();
    EXPECT_EQ(r.events.back().percent, 30) << display;
    EXPECT_EQ(seen.frame_writes, 0u) << display;
    EXPECT_EQ(seen.dac, 0u) << display;
    EXPECT_FALSE(LoadModuleState(b.board.core.Services()).ScreenUp) << display;
  }
}

TEST(FailedBringUp, AScreenThatCameUpIsDrawnOnAndRemembered) {
  test::Boot b(std::string("{") + kWholeBoot + "}");
  DisplayAccesses seen(b.board.machine.bus);
  const sim::BootResult r = b.Run();
  EXPECT_EQ(r.events.back().percent, 30);
  EXPECT_GT(seen.frame_writes, 0u);
  EXPECT_GT(seen.dac, 0u);
  EXPECT_TRUE(LoadModuleState(b.board.core.Services()).ScreenUp);
  EXPECT_EQ(b.RunLength(594, 251), 228u); // the bar at 30 %
}

} // namespace
