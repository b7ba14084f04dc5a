// Host-side speed of the simulator: a whole default boot, host build and firmware image, and the
// bus's cost per access. The simulated board's own virtual time, access counts and the image's
// instructions per boot are reported as counters beside it.
#include <benchmark/benchmark.h>

#include "access/mmio.h"
#include "sim/devices/memory/ram_device.h"
#include "sim/emu/cpu_report.h"
#include "sim/emu/pei_image.h"
#include "sim/emu/smm_image.h"
#include "sim/pei/pei_boot.h"

namespace {

void DefaultBoot(benchmark::State &state) {
  const sim::Scenario scenario = sim::DefaultScenario();
  double virtualUs = 0;
  uint64_t accesses = 0;
  for (auto _ : state) {
    sim::PeiBoard board(scenario);
    sim::RunPeiBoot(board);
    virtualUs = board.machine.clock.NowUs();
    const sim::BusCounts &c = board.machine.bus.Counts();
    accesses = c.io.reads + c.io.writes + c.mmio.reads + c.mmio.writes;
  }
  state.counters["virtual_us"] = virtualUs;
  state.counters["bus_accesses"] = static_cast<double>(accesses);
}
BENCHMARK(DefaultBoot)->Unit(benchmark::kMillisecond);

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

BENCHMARK_MAIN();
