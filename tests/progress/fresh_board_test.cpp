// The hostile-hardware fuzz targets give every input a board of its own, built from a scenario
// whose flash was packed once. Such a board behaves as one built from scratch, and an input run on
// it leaves nothing behind for the next: the same input gives the same bus trace first, after
// another input, and on a board that packed its own flash.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "sim/core/trace.h"
#include "tests/fuzz/hostile_runs.h"
#include "tests/progress/random_bytes.h"

namespace {

using Run = std::function<hostile::RunResult(sim::PeiBoard &, const uint8_t *, size_t)>;

sim::Scenario Warm(const std::string &name) {
  const std::filesystem::path file =
      std::filesystem::path(__FILE__).parent_path() / "../../scenarios" / (name + ".json");
  sim::Scenario s = sim::LoadScenario(file);
  nlohmann::json doc = s.raw;
  doc["display"]["chip"]["started_by_bmc"] = true;
  return sim::ParseScenario(doc, s.source, s.base_dir);
}

// The device accesses of one run (service calls carry host addresses, which differ by board).
struct Traced {
  std::string accesses;
  hostile::RunResult result;
  uint64_t end_ns;
};

Traced RunTraced(sim::PeiBoard &board, const Run &run, const std::vector<uint8_t> &input) {
  std::ostringstream text;
  sim::Trace trace(text);
  board.machine.bus.SetTrace(&trace);
  Traced out;
  out.result = run(board, input.data(), input.size());
  board.machine.bus.SetTrace(nullptr);
  std::istringstream lines(text.str());
  for (std::string line; std::getline(lines, line);) {
    if (line.find(R"("kind":"service")") == std::string::npos) {
      out.accesses += line + "\n";
    }
  }
  out.end_ns = board.machine.clock.NowNs();
  return out;
}

void ExpectSame(const Traced &a, const Traced &b, const std::string &what) {
  EXPECT_EQ(a.accesses, b.accesses) << what;
  EXPECT_EQ(a.end_ns, b.end_ns) << what;
  EXPECT_EQ(a.result.clean, b.result.clean) << what;
  EXPECT_EQ(a.result.drawn, b.result.drawn) << what;
  EXPECT_EQ(a.result.completed, b.result.completed) << what;
}

struct Target {
  const char *name;
  Run run;
};

TEST(FreshBoard, EachInputRunsAsOnABoardBuiltFromScratch) {
  const Target targets[] = {{"bring-up", hostile::RunBringUp},
                            {"address line", hostile::RunAddressLine},
                            {"whole boot", hostile::RunWholeBoot}};
  for (const char *board_name : {"bmc-started", "locked-pad"}) {
    const hostile::BoardTemplate tmpl(Warm(board_name));
    for (const Target &t : targets) {
      const std::string what = std::string(board_name) + ", " + t.name;
      const std::vector<uint8_t> a = test::RandomBytes(7, 600), b = test::RandomBytes(8, 600);
      const Traced reference = [&] {
        sim::PeiBoard scratch(tmpl.scenario); // one machine at a time
        return RunTraced(scratch, t.run, a);
      }();
      ASSERT_NE(reference.accesses, "") << what;
      ExpectSame(RunTraced(*tmpl.Build(), t.run, a), reference, what + ": first input");
      const Traced other = RunTraced(*tmpl.Build(), t.run, b);
      EXPECT_NE(other.accesses, reference.accesses) << what << ": the input decides the run";
      ExpectSame(RunTraced(*tmpl.Build(), t.run, a), reference, what + ": after another input");
    }
  }
}

TEST(FreshBoard, PackedFlashHoldsWhatTheScenarioLoads) {
  const sim::Scenario s = Warm("bmc-started");
  const auto packed = sim::PeiBoard::PackFlash(s);
  ASSERT_FALSE(packed->volumes.empty());
  std::vector<uint8_t> scratch_bytes, built_bytes;
  std::vector<std::string> scratch_warnings, built_warnings;
  const auto read = [](sim::PeiBoard &board, std::vector<uint8_t> &bytes) {
    for (uint64_t a = sim::FlashDevice::kBase;
         a - sim::FlashDevice::kBase < sim::FlashDevice::kSize; a += 61) {
      bytes.push_back(board.flash.Byte(a));
    }
  };
  {
    sim::PeiBoard scratch(s); // one machine at a time
    read(scratch, scratch_bytes);
    scratch_warnings = scratch.warnings;
  }
  sim::PeiBoard built(s, *packed);
  read(built, built_bytes);
  EXPECT_EQ(built.warnings, scratch_warnings);
  EXPECT_TRUE(built_bytes == scratch_bytes);
  EXPECT_EQ(built.flash.Volumes().size(), packed->volumes.size());
  // The boards share the packed bytes, read-only: none may load into them or hand them out.
  EXPECT_EQ(built.flash.Image(), packed->image);
  EXPECT_THROW(built.flash.Load(sim::FlashDevice::kBase, {1}, "late"), std::logic_error);
  EXPECT_THROW(built.flash.Storage(), std::logic_error);
}

// Found by the address-line fuzz target (its input less the first byte, which chose this board): a
// lying BMC answered a LAN parameter request with no data bytes, and the PEI core's IPMI service
// copied the empty answer from a buffer without an address, which the sanitizers report.
TEST(HostileAddressLine, AnEmptyIpmiAnswerIsCopiedAsNothing) {
  const std::vector<uint8_t> input = {0x5a, 0x74, 0x26, 0x50, 0x30, 0x5a, 0x5a, 0x5a, 0x5a, 0x5a,
                                      0x29, 0x64, 0x77, 0x31, 0x73, 0x74, 0x72, 0x61, 0x70, 0x5a,
                                      0x5a, 0x73, 0x5a, 0x5a, 0x5a, 0x4b, 0x8e, 0x73};
  sim::PeiBoard board(Warm("cold-ddr4-retries"));
  const hostile::RunResult r = hostile::RunAddressLine(board, input.data(), input.size());
  EXPECT_TRUE(r.clean) << r.report;
  EXPECT_LE(r.drawn, 16u); // the label and at most fifteen glyphs
}

} // namespace
