// The SMM side of the simulator on its own: the services' conventions, the pool's accounting,
// the timer and controller models, scenario parsing, and bootsim --smm end to end.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "access/port_io.h"
#include "sim/core/efi_status_names.h"
#include "tests/smm/smm_fixture.h"

using namespace smmtest;

TEST(SmmCoreModel, GetCapabilitiesFollowsTheBufferTooSmallConvention) {
  sim::SmmBoard board(ScenarioWith(nullptr));
  EFI_SMM_ACCESS2_PROTOCOL *access = board.core.SmmAccess2();
  UINTN size = 0;
  EXPECT_EQ(access->GetCapabilities(access, &size, nullptr), EFI_BUFFER_TOO_SMALL);
  EXPECT_EQ(size, 2 * sizeof(EFI_SMRAM_DESCRIPTOR));
  EFI_SMRAM_DESCRIPTOR map[2] = {};
  size = sizeof(EFI_SMRAM_DESCRIPTOR);
  EXPECT_EQ(access->GetCapabilities(access, &size, map), EFI_BUFFER_TOO_SMALL);
  size = sizeof map;
  EXPECT_EQ(access->GetCapabilities(access, &size, map), EFI_SUCCESS);
  EXPECT_EQ(map[0].CpuStart, board.core.Pool().ArenaBase());
}

TEST(SmmCoreModel, LocateClearsTheResultWhenAbsent) {
  sim::SmmBoard board(ScenarioWith({{"missing", {"pcd"}}}));
  VOID *interface = &board;
  EXPECT_EQ(board.core.SystemTable()->BootServices->LocateProtocol(&gPcdProtocolGuid, nullptr,
                                                                   &interface),
            EFI_NOT_FOUND);
  EXPECT_EQ(interface, nullptr);
  EXPECT_EQ(board.core.Smst()->SmmLocateProtocol(nullptr, nullptr, &interface),
            EFI_INVALID_PARAMETER);
}

TEST(SmmCoreModel, PoolCountsDoubleAndForeignFrees) {
  sim::SmmBoard board(ScenarioWith(nullptr));
  EFI_SMM_SYSTEM_TABLE2 *smst = board.core.Smst();
  VOID *a = nullptr;
  ASSERT_EQ(smst->SmmAllocatePool(EfiRuntimeServicesData, 100, &a), EFI_SUCCESS);
  EXPECT_EQ(smst->SmmFreePool(a), EFI_SUCCESS);
  EXPECT_EQ(smst->SmmFreePool(a), EFI_INVALID_PARAMETER);
  int local = 0;
  EXPECT_EQ(smst->SmmFreePool(&local), EFI_INVALID_PARAMETER);
  EXPECT_EQ(board.core.Pool().Counts().freed, 1u);
  EXPECT_EQ(board.core.Pool().Counts().bad_frees, 2u);
  EXPECT_EQ(board.core.Pool().LiveCount(), 0u);
}

TEST(SmmCoreModel, SinkAppearsAtTheConfiguredLookup) {
  sim::SmmBoard board(ScenarioWith({{"sink", {{"from_record", 2}}}}));
  VOID *sink = nullptr;
  EFI_SMM_SYSTEM_TABLE2 *smst = board.core.Smst();
  EXPECT_EQ(smst->SmmLocateProtocol(&sim::kDimmRecordSinkGuid, nullptr, &sink), EFI_NOT_FOUND);
  EXPECT_EQ(smst->SmmLocateProtocol(&sim::kDimmRecordSinkGuid, nullptr, &sink), EFI_SUCCESS);
  EXPECT_EQ(sink, board.sink.Interface());
  EXPECT_EQ(board.SinkLookups(), 2u);
}

TEST(PmTimerModel, Counts24BitsAtTheAcpiRateAndWraps) {
  sim::SmmBoard board(ScenarioWith(nullptr));
  board.pmc.SetState(0x500, true);
  board.pm_timer.SetCount(0xFFFFF0);
  board.machine.clock.Advance(1'000'000'000); // one second
  EXPECT_EQ(board.pm_timer.Count(), (0xFFFFF0u + 3579545u) & 0xFFFFFFu);
  const uint32_t before = board.pm_timer.Count();
  const uint32_t read = IoRead32(0x508);
  EXPECT_EQ(read, before);                      // sampled as the access starts
  EXPECT_EQ(board.pm_timer.Count() - read, 3u); // the read costs 1 us = 3.6 ticks
  EXPECT_EQ(IoRead32(0x508) >> 24, 0u);
  IoRead16(0x508); // the register is 32 bits wide
  EXPECT_EQ(board.machine.bus.Counts().guest_errors, 1u);
}

TEST(PmcModel, DecodeFollowsBaseAndEnableAndBaseLowBitsAreFixed) {
  sim::SmmBoard board(ScenarioWith(nullptr));
  const uint64_t pmc = board.pci.ConfigBase() + (31u << 15) + (2u << 12);
  EXPECT_EQ(IoRead32(0x508), 0xFFFFFFFFu); // decode off: nothing answers
  board.machine.bus.Write(sim::Space::Memory, pmc + 0x40, 2, 0x0C7F);
  EXPECT_EQ(board.machine.bus.Read(sim::Space::Memory, pmc + 0x40, 2), 0x0C01u);
  board.machine.bus.Write(sim::Space::Memory, pmc + 0x44, 1, 0x80);
  EXPECT_TRUE(board.pm_timer.Mapped());
  EXPECT_EQ(board.pm_timer.Port(), 0x0C08);
  board.machine.bus.Write(sim::Space::Memory, pmc + 0x44, 1, 0x00);
  EXPECT_FALSE(board.pm_timer.Mapped());
  // Another function of the window is absent.
  EXPECT_EQ(board.machine.bus.Read(sim::Space::Memory, board.pci.ConfigBase() + 0x8000, 4),
            0xFFFFFFFFu);
}

TEST(SmmScenarioParsing, ReadsEveryKey) {
  const sim::SmmScenario s = sim::ParseSmmScenario(
      ScenarioWith({{"dimms", {{1, 2, 1}}},
                    {"topology_hob", true},
                    {"processors", {{{"apic_id", "0x10"}, {"enabled", false}}}},
                    {"cpuid", {{"0xb.1", {"0x5", 8, "0x201", 0}}}},
                    {"tsc_hz", 1000000},
                    {"sink", {{"present", true}, {"from_record", 4}, {"status", "EFI_NOT_READY"}}},
                    {"missing", {"pcd"}},
                    {"pcd7", "A0b1"}}));
  EXPECT_EQ(s.dimms, (std::vector<sim::DimmSlot>{{1, 2, 1}}));
  ASSERT_EQ(s.processors.size(), 1u);
  EXPECT_EQ(s.processors[0].apic_id, 0x10u);
  EXPECT_FALSE(s.processors[0].enabled);
  EXPECT_EQ(s.cpuid.at({0xB, 1}).Eax, 5u);
  EXPECT_EQ(s.cpuid.at({0xB, 0}).Eax, 1u); // defaults it does not name stay
  EXPECT_EQ(s.tsc_hz, 1000000u);
  EXPECT_EQ(s.sink.from_record, 4u);
  EXPECT_EQ(s.sink.status, EFI_NOT_READY);
  EXPECT_EQ(s.missing, (std::set<std::string>{"pcd"}));
  EXPECT_EQ(s.pcd7, (std::vector<uint8_t>{0xA0, 0xB1}));
}

TEST(SmmScenarioParsing, ErrorsNameTheKey) {
  const std::vector<std::pair<nlohmann::json, std::string>> bad = {
      {{{"dimms", {{4, 0, 0}}}}, "smm.dimms[0]"},
      {{{"dimms", {{0, 0}}}}, "smm.dimms[0]"},
      {{{"missing", {"sink"}}}, "smm.missing"},
      {{{"sink", {{"status", "EFI_NOPE"}}}}, "smm.sink.status"},
      {{{"sink", {{"from_record", 0}}}}, "smm.sink.from_record"},
      {{{"pcd7", "abc"}}, "smm.pcd7"},
      {{{"cpuid", {{"0x1", {1, 2, 3}}}}}, "smm.cpuid.0x1"},
      {{{"processors", {{{"enabled", true}}}}}, "smm.processors[0]"},
      {{{"colour", 1}}, "smm.colour"},
  };
  for (const auto &[doc, key] : bad) {
    try {
      sim::ParseSmmScenario(ScenarioWith(doc));
      ADD_FAILURE() << "accepted " << doc.dump();
    } catch (const sim::ScenarioError &e) {
      EXPECT_EQ(e.key, key) << doc.dump();
      EXPECT_EQ(e.file, "test-scenario");
    }
  }
}

TEST(EfiStatusNames, RoundTrip) {
  EXPECT_EQ(sim::EfiStatusName(EFI_DEVICE_ERROR), "EFI_DEVICE_ERROR");
  EXPECT_EQ(sim::EfiStatusFromName("EFI_NOT_FOUND"), EFI_NOT_FOUND);
  EXPECT_EQ(sim::EfiStatusName(0x1234), "0x1234");
}

TEST(BootsimSmm, DefaultBoardWritesItsRecordsToTheReport) {
  const std::filesystem::path out =
      std::filesystem::temp_directory_path() / ("bootsim-smm-" + std::to_string(::getpid()));
  const std::string command =
      std::string(BOOTSIM_PATH) + " --smm --out " + out.string() + " > " + (out.string() + ".log");
  ASSERT_EQ(std::system(command.c_str()), 0);
  std::ifstream in(out / "report.json");
  const nlohmann::json report = nlohmann::json::parse(in);
  const nlohmann::json &smm = report.at("smm");
  EXPECT_EQ(smm.at("status"), "EFI_SUCCESS");
  ASSERT_EQ(smm.at("records").size(), 48u);
  EXPECT_EQ(smm.at("records")[47], "e2000010010702010000000000000000");
  EXPECT_EQ(smm.at("lookups"), 1);
  EXPECT_EQ(smm.at("pool").at("allocated"), 1);
  EXPECT_EQ(smm.at("pool").at("leaked"), 1);
  EXPECT_NEAR(smm.at("tsc_frequency").get<double>(), 2.4e9, 2.4e7);
  std::filesystem::remove_all(out);
  std::filesystem::remove(out.string() + ".log");
}
