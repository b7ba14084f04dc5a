// Host-side speed of the simulator: a whole default boot, and the bus's cost per access. The
// simulated board's own virtual time and access counts are reported as counters beside it.
#include <benchmark/benchmark.h>

#include "access/mmio.h"
#include "sim/devices/memory/ram_device.h"
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
