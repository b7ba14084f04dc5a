// The emulated processor and its calling conventions: calls out of the guest through traps and
// back, frames of calls into the guest, the processor primitives reaching the machine's models,
// flash that drops writes, and images relocated to different flash addresses.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <unicorn/unicorn.h>

#include "sim/devices/memory/flash.h"
#include "sim/emu/guest_abi.h"
#include "sim/emu/link_map.h"
#include "sim/pi/pe_image.h"
#include "tests/emu/image_run_support.h"

namespace {

using sim::emu::CpuEmulator;
using sim::emu::CpuMode;
using sim::emu::GuestAbi;

constexpr uint64_t kRam = 0x10000, kRamSize = 0x4000;
constexpr uint64_t kTrapPage = 0x20000, kReturnTrap = kTrapPage + 0x800;

// An IA32 processor with 16 KiB of RAM (code at its bottom, stack at its top) and a trap page.
class Ia32 : public testing::Test {
protected:
  void SetUp() override {
    ram_.assign(kRamSize, 0);
    cpu.MapRam(kRam, kRamSize, ram_.data());
    cpu.MapFlash(sim::FlashDevice::kBase, sim::FlashDevice::kSize, flash.Storage(), 0, 0);
    cpu.Reserve(kTrapPage, 0x1000, true);
    cpu.MapDeviceSpace();
    cpu.SetSp(kRam + kRamSize);
  }
  uint64_t Code(uint64_t offset, const std::vector<uint8_t> &bytes) {
    std::memcpy(ram_.data() + offset, bytes.data(), bytes.size());
    return kRam + offset;
  }
  static std::vector<uint8_t> Imm32(uint32_t v) {
    return {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v >> 16),
            static_cast<uint8_t>(v >> 24)};
  }

  sim::Machine machine;
  sim::FlashDevice flash{machine.bus};
  CpuEmulator cpu{machine, CpuMode::Ia32};
  GuestAbi abi{cpu, kReturnTrap};
  std::vector<uint8_t> ram_;
};

TEST_F(Ia32, TrapsCarryArgumentsOutAndResultsBackAcrossNestedCalls) {
  // double(x): x + x
  const uint64_t twice = Code(0x100, {0x8B, 0x44, 0x24, 0x04, 0x01, 0xC0, 0xC3});
  // f(a, b): service(a, b) + 1, the service at the trap page's first address
  std::vector<uint8_t> f = {0xFF, 0x74, 0x24, 0x08, 0xFF, 0x74, 0x24, 0x08, 0xB8};
  const std::vector<uint8_t> trap = Imm32(kTrapPage);
  f.insert(f.end(), trap.begin(), trap.end());
  f.insert(f.end(), {0xFF, 0xD0, 0x83, 0xC4, 0x08, 0x40, 0xC3});
  const uint64_t fn = Code(0, f);

  std::vector<uint64_t> seen;
  const auto serve = [&](uint64_t at) {
    ASSERT_EQ(at, kTrapPage);
    seen = {abi.Arg(0), abi.Arg(1)};
    // The service calls back into the guest before it returns.
    const uint64_t doubled = abi.Call(twice, {abi.Arg(0)}, [](uint64_t) { FAIL(); });
    abi.Return(doubled * 100 + abi.Arg(1));
  };
  const uint64_t sp = cpu.Sp();
  EXPECT_EQ(abi.Call(fn, {3, 4}, serve), 3u * 2 * 100 + 4 + 1);
  EXPECT_EQ(seen, (std::vector<uint64_t>{3, 4}));
  EXPECT_EQ(cpu.Sp(), sp);
  EXPECT_TRUE(cpu.Errors().empty());
}

TEST_F(Ia32, CallsIntoTheGuestCheckTheConvention) {
  const uint64_t clobbersEbx = Code(0, {0xBB, 0x01, 0x00, 0x00, 0x00, 0xC3}); // mov ebx, 1; ret
  const uint64_t popsItsArguments = Code(0x40, {0xC2, 0x08, 0x00});           // ret 8
  const uint64_t keepsTheRules = Code(0x80, {0x53, 0xBB, 0x07, 0, 0, 0, 0x89, 0xD8, 0x5B, 0xC3});
  const auto none = [](uint64_t) { FAIL(); };
  cpu.SetReg(UC_X86_REG_EBX, 0x55);
  EXPECT_EQ(abi.Call(keepsTheRules, {1, 2}, none), 7u);
  EXPECT_TRUE(cpu.Errors().empty());
  abi.Call(clobbersEbx, {}, none);
  ASSERT_EQ(cpu.Errors().size(), 1u);
  EXPECT_NE(cpu.Errors()[0].what.find("did not preserve EBX"), std::string::npos);
  EXPECT_EQ(cpu.Reg(UC_X86_REG_EBX), 0x55u); // the caller's context is back
  abi.Call(popsItsArguments, {1, 2}, none);
  ASSERT_EQ(cpu.Errors().size(), 2u);
  EXPECT_NE(cpu.Errors()[1].what.find("returned with the stack at"), std::string::npos);
}

TEST_F(Ia32, ProcessorPrimitivesComeFromTheMachine) {
  machine.cpu.SetCpuid(1, 0, {0, 0xABCD, 0, 0});
  // push ebx; mov eax, 1; xor ecx, ecx; cpuid; mov eax, ebx; pop ebx; ret
  const uint64_t cpuid =
      Code(0, {0x53, 0xB8, 0x01, 0, 0, 0, 0x31, 0xC9, 0x0F, 0xA2, 0x89, 0xD8, 0x5B, 0xC3});
  const uint64_t rdtsc = Code(0x40, {0x0F, 0x31, 0xC3});
  // mov dx, 0x80; in al, dx; ret
  const uint64_t in = Code(0x80, {0x66, 0xBA, 0x80, 0x00, 0xEC, 0xC3});
  cpu.HookTimeInstructions(kRam, kRam + 0x100, ram_.data());
  const auto none = [](uint64_t) { FAIL(); };
  EXPECT_EQ(abi.Call(cpuid, {}, none), 0xABCDu);
  machine.cpu.SetTscHz(1'000'000'000);
  machine.clock.Advance(123456);
  EXPECT_EQ(abi.Call(rdtsc, {}, none), 123456u);
  uint64_t port = 0;
  machine.bus.Map(
      sim::Space::Io, 0x80, 1, "post",
      [&](uint64_t, unsigned) {
        ++port;
        return uint64_t{0x5A};
      },
      nullptr);
  EXPECT_EQ(abi.Call(in, {}, none) & 0xFF, 0x5Au);
  EXPECT_EQ(port, 1u);
  // SIDT, then the word below the IDT base: where a PEI core keeps its services pointer.
  // sub esp, 8; sidt [esp]; mov eax, [esp+2]; mov eax, [eax-4]; add esp, 8; ret
  const uint64_t services = Code(0xC0, {0x83, 0xEC, 0x08, 0x0F, 0x01, 0x0C, 0x24, 0x8B, 0x44, 0x24,
                                        0x02, 0x8B, 0x40, 0xFC, 0x83, 0xC4, 0x08, 0xC3});
  cpu.SetIdtr(kRam + 0x1000, 0x7FF);
  cpu.WriteMemory(kRam + 0x1000 - 4, 0xFEF01234, 4);
  EXPECT_EQ(abi.Call(services, {}, none), 0xFEF01234u);
  EXPECT_TRUE(cpu.Errors().empty());
}

TEST_F(Ia32, AWriteIntoFlashIsDroppedAndCounted) {
  // mov dword [0xFF000010], 0x12345678; mov eax, [0xFF000010]; ret
  const uint64_t fn = Code(0, {0xC7, 0x05, 0x10, 0x00, 0x00, 0xFF, 0x78, 0x56, 0x34, 0x12, 0xA1,
                               0x10, 0x00, 0x00, 0xFF, 0xC3});
  EXPECT_EQ(abi.Call(fn, {}, [](uint64_t) { FAIL(); }), 0xFFFFFFFFu); // still erased
  EXPECT_EQ(cpu.FlashWrites(), 1u);
  EXPECT_EQ(flash.RejectedWrites(), 1u);
  EXPECT_EQ(machine.bus.Counts().guest_errors, 1u);
  ASSERT_EQ(cpu.Errors().size(), 1u);
  EXPECT_EQ(cpu.Errors()[0].address, 0xFF000010u);
  EXPECT_EQ(cpu.Errors()[0].pc, kRam);
  EXPECT_EQ(flash.Byte(0xFF000010), 0xFF);
}

TEST(PeimVolume, ImageIsAlignedAndRebasedWhereItLands) {
  const std::vector<uint8_t> file = emutest::ImageBytes();
  const sim::emu::PeimVolume v = sim::emu::PackPeimVolume(file, 0xFFFF0000);
  const sim::PeImage original(file);
  const sim::PeImage placed(std::vector<uint8_t>(
      v.bytes.begin() + (v.image - v.base), v.bytes.begin() + (v.image - v.base) + file.size()));
  EXPECT_EQ(v.image % original.SectionAlignment(), 0u);
  EXPECT_EQ(placed.ImageBase(), v.image);
  const uint64_t delta = v.image - original.ImageBase();
  const std::vector<uint32_t> sites = original.RelocationSites();
  ASSERT_FALSE(sites.empty());
  for (uint32_t rva : sites) {
    uint32_t before, after;
    std::memcpy(&before, file.data() + rva, 4); // executes in place: file offset is the RVA
    std::memcpy(&after, v.bytes.data() + (v.image - v.base) + rva, 4);
    EXPECT_EQ(after, static_cast<uint32_t>(before + delta)) << "relocation at RVA " << rva;
  }
}

TEST(PeimVolume, ImagesRelocatedToTwoAddressesBehaveAlike) {
  const std::vector<uint8_t> image = emutest::ImageBytes();
  auto at = [&](const char *base) {
    return emutest::ImageBoot(
        sim::ParseScenario(nlohmann::json::parse(std::string(R"({"image_volume_base": ")") + base +
                                                 R"(", "events": ["ProgressStart", "ScreenA",
                                                   "Milestone10"]})"),
                           "relocation", "."),
        image);
  };
  const emutest::BootRecord low = at("0xFFFF0000");
  const emutest::BootRecord high = at("0xFFFF4000");
  EXPECT_EQ(emutest::FirstDifference(low, high), "");
  EXPECT_TRUE(low.cpu->errors.empty());
  EXPECT_TRUE(high.cpu->errors.empty());
  EXPECT_GT(low.digest.count, 1000u);
}

} // namespace

namespace {

// A missing linker map reads as empty, but a map path that is a directory or a FIFO is refused
// instead of read (a FIFO nobody writes once blocked the run).
TEST(LinkMap, AbsentIsEmptyAndNonFilesAreRefused) {
  const std::filesystem::path dir =
      std::filesystem::temp_directory_path() / ("link_map_" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir / "dir.map");
  ::mkfifo((dir / "fifo.map").c_str(), 0600);
  EXPECT_TRUE(sim::emu::ReadLinkMap(dir / "absent.map").empty());
  EXPECT_THROW(sim::emu::ReadLinkMap(dir / "dir.map"), std::runtime_error);
  EXPECT_THROW(sim::emu::ReadLinkMap(dir / "fifo.map"), std::runtime_error);
  std::ofstream(dir / "odd.map") << " Preferred load address is zzzz\n"
                                 << " 0001:00000a60       ?Name@@  0000000010001a60     x.obj\n";
  EXPECT_EQ(sim::emu::ReadLinkMap(dir / "odd.map").size(), 1u); // an unreadable base reads as 0
  std::filesystem::remove_all(dir);
}

// An image run times every listed phase function: a map that lacks one, or no map at all, is
// refused with the missing names instead of leaving those phases out of the timing.
TEST(LinkMap, APhaseFunctionTheMapLacksFailsTheImageRun) {
  const std::filesystem::path dir =
      std::filesystem::temp_directory_path() / ("phase_map_" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  {
    std::ifstream in(emutest::ImageMap());
    std::ofstream out(dir / "image.map");
    for (std::string line; std::getline(in, line);) {
      if (line.find("?ShowBmcAddress@@") == std::string::npos) {
        out << line << "\n";
      }
    }
  }
  const std::vector<uint8_t> image = emutest::ImageBytes();
  const sim::Scenario scenario = sim::DefaultScenario();
  const auto errorOf = [&](const std::filesystem::path &map) -> std::string {
    try {
      (void)sim::emu::MakePeiImageRun(scenario, image, map);
    } catch (const std::exception &e) {
      return e.what();
    }
    return "(no error)";
  };
  EXPECT_EQ(errorOf(emutest::ImageMap()), "(no error)");
  const std::string lacksOne = errorOf(dir / "image.map");
  EXPECT_NE(lacksOne.find("lacks the phase functions ShowBmcAddress"), std::string::npos)
      << lacksOne;
  EXPECT_EQ(lacksOne.find("OnProgress5"), std::string::npos) << lacksOne;
  const std::string absent = errorOf(dir / "absent.map");
  EXPECT_NE(absent.find("BootProgressPeiEntry, OnProgressStart"), std::string::npos) << absent;
  std::filesystem::remove_all(dir);
}

} // namespace
