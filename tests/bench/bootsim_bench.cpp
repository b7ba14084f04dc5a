// Host-side speed of the simulator: a whole boot of the default board and of every example board
// under scenarios/, host build and firmware image, and the bus's cost per access. The simulated
// board's own virtual time, access counts (and their rate per host second) and the image's
// instructions per boot are reported as counters beside it.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <filesystem>
#include <string>

#include "access/mmio.h"
#include "sim/devices/memory/ram_device.h"
#include "sim/emu/cpu_report.h"
#include "sim/emu/pei_image.h"
#include "sim/emu/smm_image.h"
#include "sim/pei/pei_boot.h"

namespace {

// One host-build boot of `scenario` per iteration.
void BootScenario(benchmark::State &state, const sim::Scenario &scenario) {
  double virtualUs = 0;
  uint64_t accesses = 0, total = 0;
  for (auto _ : state) {
    sim::PeiBoard board(scenario);
    sim::RunPeiBoot(board);
    virtualUs = board.machine.clock.NowUs();
    const sim::BusCounts &c = board.machine.bus.Counts();
    accesses = c.io.reads + c.io.writes + c.mmio.reads + c.mmio.writes;
    total += accesses;
  }
  state.counters["virtual_us"] = virtualUs;
  state.counters["bus_accesses"] = static_cast<double>(accesses);
  state.counters["bus_accesses_per_s"] =
      benchmark::Counter(static_cast<double>(total), benchmark::Counter::kIsRate);
}

// The default board, and each example board of the source tree's scenarios/.
void RegisterScenarioBoots() {
  benchmark::RegisterBenchmark("Boot/default", BootScenario, sim::DefaultScenario())
      ->Unit(benchmark::kMillisecond);
  std::vector<std::filesystem::path> files;
  std::error_code error;
  for (const auto &entry : std::filesystem::directory_iterator(BOOTSIM_SCENARIOS_DIR, error)) {
    if (entry.path().extension() == ".json") {
      files.push_back(entry.path());
    }
  }
  std::sort(files.begin(), files.end());
  for (const std::filesystem::path &file : files) {
    benchmark::RegisterBenchmark(("Boot/" + file.stem().string()).c_str(), BootScenario,
                                 sim::LoadScenario(file))
        ->Unit(benchmark::kMillisecond);
  }
}

// The default boot with BootProgressPei.efi executing in place on the emulated processor.
void DefaultImageBoot(benchmark::State &state) {
  const sim::Scenario scenario = sim::DefaultScenario();
  const std::vector<uint8_t> image = sim::emu::ReadImageFile(BOOT_PROGRESS_PEI_IMAGE);
  sim::emu::CpuReport cpu;
  for (auto _ : state) {
    sim::emu::PeiImageRun run =
        sim::emu::MakePeiImageRun(scenario, image, BOOT_PROGRESS_PEI_IMAGE ".map");
    sim::RunPeiBoot(*run.board, {}, [&] { return run.Load(); });
    cpu = run.binding->Report();
  }
  state.counters["instructions"] = static_cast<double>(cpu.instructions);
  state.counters["stack_bytes"] = static_cast<double>(cpu.stack_bytes);
  state.counters["guest_errors"] = static_cast<double>(cpu.errors.size());
}
BENCHMARK(DefaultImageBoot)->Unit(benchmark::kMillisecond);

// The default SMM load with DimmReportSmm.efi on the emulated 64-bit processor.
void DefaultSmmImageLoad(benchmark::State &state) {
  const sim::Scenario scenario = sim::DefaultScenario();
  const std::vector<uint8_t> image = sim::emu::ReadImageFile(DIMM_REPORT_SMM_IMAGE);
  sim::emu::CpuReport cpu;
  for (auto _ : state) {
    sim::SmmBoard board(scenario);
    sim::emu::SmmImageRun run(board, image, DIMM_REPORT_SMM_IMAGE ".map");
    run.Load();
    cpu = run.Report();
  }
  state.counters["instructions"] = static_cast<double>(cpu.instructions);
  state.counters["stack_bytes"] = static_cast<double>(cpu.stack_bytes);
  state.counters["guest_errors"] = static_cast<double>(cpu.errors.size());
}
BENCHMARK(DefaultSmmImageLoad)->Unit(benchmark::kMillisecond);

void FrameBufferByteWrites(benchmark::State &state) {
  sim::Machine machine;
  sim::RamDevice fb(machine.bus, 0xA0000000, 480000, "fb");
  for (auto _ : state) {
    MmioFill8(0xA0000000, 480000, 0);
  }
  state.SetItemsProcessed(state.iterations() * 480000);
}
BENCHMARK(FrameBufferByteWrites)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv) {
  RegisterScenarioBoots();
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
    return 1;
  }
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
