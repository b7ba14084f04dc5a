// Host-side speed of the simulator: a whole boot of the default board and of every example board
// under scenarios/, host build and firmware image, and the bus's cost per access. The simulated
// board's own virtual time, access counts (and their rate per host second) and the image's
// instructions per boot are reported as counters beside it. Beside the speed, the figures the
// firmware is held to: BootProgressPei.efi's size against its limit, and MMIO reads and writes
// per drawn pixel of each DrawImageFile call of the default boot.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "access/mmio.h"
#include "sim/binding/image_roles.h"
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

// A boot of `scenario` with BootProgressPei.efi executing in place on the emulated processor.
void ImageBoot(benchmark::State &state, const sim::Scenario &scenario) {
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

// The default board, and the hang-* boards, whose polls of millions of reads are the image's
// longest runs (one iteration each).
void RegisterImageBoots() {
  benchmark::RegisterBenchmark("ImageBoot/default", ImageBoot, sim::DefaultScenario())
      ->Unit(benchmark::kMillisecond);
  std::vector<std::filesystem::path> files;
  std::error_code error;
  for (const auto &entry : std::filesystem::directory_iterator(BOOTSIM_SCENARIOS_DIR, error)) {
    if (entry.path().extension() == ".json" &&
        entry.path().stem().string().rfind("hang-", 0) == 0) {
      files.push_back(entry.path());
    }
  }
  std::sort(files.begin(), files.end());
  for (const std::filesystem::path &file : files) {
    benchmark::RegisterBenchmark(("ImageBoot/" + file.stem().string()).c_str(), ImageBoot,
                                 sim::LoadScenario(file))
        ->Unit(benchmark::kMillisecond)
        ->Iterations(1);
  }
}

// BootProgressPei.efi's size on disk, against the build's limit.
void BootProgressPeiImageSize(benchmark::State &state) {
  const std::vector<uint8_t> image = sim::emu::ReadImageFile(BOOT_PROGRESS_PEI_IMAGE);
  for (auto _ : state) {
    benchmark::DoNotOptimize(image.size());
  }
  state.counters["bytes"] = static_cast<double>(image.size());
  state.counters["limit_bytes"] = BOOT_PROGRESS_PEI_MAX_SIZE;
  state.counters["room_bytes"] = BOOT_PROGRESS_PEI_MAX_SIZE - static_cast<double>(image.size());
}
BENCHMARK(BootProgressPeiImageSize)->Iterations(1);

// One drawn DrawImageFile call of the default boot: its bus transactions per drawn pixel over the
// whole call (volume scan, headers, colour table and rows).
void DrawCall(benchmark::State &state, size_t index) {
  sim::ImageCall call;
  for (auto _ : state) {
    sim::PeiBoard board(sim::DefaultScenario());
    sim::RunPeiBoot(board);
    call = board.images.Calls().at(index);
  }
  const double pixels = static_cast<double>(call.placement.width) * call.placement.height;
  state.counters["bits_per_pixel"] = call.placement.bit_depth;
  state.counters["pixels"] = pixels;
  state.counters["mmio_reads_per_pixel"] = call.mmio_reads / pixels;
  state.counters["mmio_writes_per_pixel"] = call.mmio_writes / pixels;
}

void RegisterDrawCalls() {
  sim::PeiBoard board(sim::DefaultScenario());
  sim::RunPeiBoot(board);
  const std::vector<sim::ImageCall> &calls = board.images.Calls();
  for (size_t i = 0; i < calls.size(); ++i) {
    if (!calls[i].drawn() || calls[i].placement.width == 0 || calls[i].placement.height == 0) {
      continue;
    }
    std::string role = sim::ImageRoleName(calls[i].guid);
    std::replace(role.begin(), role.end(), ' ', '_');
    benchmark::RegisterBenchmark(
        ("DrawImageFile/" + std::to_string(calls[i].placement.bit_depth) + "bit/" + role).c_str(),
        DrawCall, i)
        ->Unit(benchmark::kMillisecond)
        ->Iterations(1);
  }
}

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
  RegisterImageBoots();
  RegisterDrawCalls();
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
    return 1;
  }
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
