// Where a boot's time goes: the phases a default boot records, their nesting, and how close the
// boot screen comes to the least time the cost model allows.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "boot_fixture.h"
#include "sim/core/phase_report.h"

namespace {

const sim::Phase *Find(const std::vector<sim::Phase> &phases, const std::string &name) {
  for (const sim::Phase &p : phases) {
    if (p.name == name) {
      return &p;
    }
    if (const sim::Phase *inner = Find(p.children, name)) {
      return inner;
    }
  }
  return nullptr;
}

// Children lie within their parent, in order, and their counts add up to at most the parent's.
void ExpectNested(const sim::Phase &parent) {
  uint64_t ns = 0, reads = 0, writes = 0;
  uint64_t at = parent.start_ns;
  for (const sim::Phase &c : parent.children) {
    EXPECT_GE(c.start_ns, at) << c.name << " in " << parent.name;
    at = c.start_ns + c.spent.ns;
    ns += c.spent.ns;
    reads += c.spent.mmio.reads;
    writes += c.spent.mmio.writes;
    ExpectNested(c);
  }
  EXPECT_LE(at, parent.start_ns + parent.spent.ns) << parent.name;
  EXPECT_LE(ns, parent.spent.ns) << parent.name;
  EXPECT_LE(reads, parent.spent.mmio.reads) << parent.name;
  EXPECT_LE(writes, parent.spent.mmio.writes) << parent.name;
}

TEST(BootPhases, TheDefaultBootNamesEachCallbackBringUpImageAndBar) {
  test::Boot boot(sim::DefaultScenario());
  boot.Run();
  const std::vector<sim::Phase> &phases = boot.board.phases.Phases();
  ASSERT_FALSE(phases.empty());
  EXPECT_EQ(phases[0].name, "BootProgressPeiEntry");
  for (const char *name :
       {"ShowBootScreenA", "OnProgress5", "OnProgress30", "EnableGraphicsController",
        "FindGraphicsBridge", "OpenHostMmioWindow", "SetBootScreenMode", "SetMem",
        "DrawImageFile logo", "DrawProgressTrough", "DrawProgressBar"}) {
    EXPECT_NE(Find(phases, name), nullptr) << name;
  }
  // The screen is cleared as part of the bring-up, and the logo drawn by the screen callback.
  const sim::Phase *enable = Find(phases, "EnableGraphicsController");
  ASSERT_NE(enable, nullptr);
  EXPECT_NE(Find(enable->children, "SetMem"), nullptr);
  const sim::Phase *screen = Find(phases, "ShowBootScreenA");
  ASSERT_NE(screen, nullptr);
  EXPECT_NE(Find(screen->children, "DrawImageFile logo"), nullptr);
  uint64_t top = 0;
  for (const sim::Phase &p : phases) {
    ExpectNested(p);
    top += p.spent.ns;
  }
  EXPECT_LE(top, boot.board.machine.clock.NowNs());
}

TEST(BootPhases, TheBootScreenIsWithinFifteenPercentOfItsFloor) {
  test::Boot boot(sim::DefaultScenario());
  boot.Run();
  const sim::CostModel cost = boot.board.machine.bus.Cost();
  const sim::Phase *screen = Find(boot.board.phases.Phases(), "ShowBootScreenA");
  ASSERT_NE(screen, nullptr);
  const double ratio = static_cast<double>(screen->spent.ns) / screen->FloorNs(cost);
  EXPECT_LE(ratio, 1.15);
  const double total = sim::CostJson(boot.board.phases)["ratio"].get<double>();
  EXPECT_LE(total, 1.15);
}

} // namespace
