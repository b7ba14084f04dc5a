// The SMM load of DimmReportSmm on a lying board: the populated slots of the memory-topology HOB,
// the CPUID leaves, PCD token 7, the TSC rate, the PM timer's count and the power-management
// controller's configuration space all come from the input. Whatever they say, the driver writes
// nothing on the bus outside the PCH's functions, hands the sink no more records than there are
// slots, and the sanitizers see no access outside its own state.
#include "modules/dimm_report_smm/driver_entry.h"
#include "sim/hostile/bus_monitor.h"
#include "sim/hostile/lying_bus.h"
#include "sim/smm/smm_board.h"
#include "tests/fuzz/hostile_harness.h"

namespace {
struct Input {
  const uint8_t *data;
  size_t size;
  size_t at = 0;
  uint8_t Byte() { return at < size ? data[at++] : 0; }
  uint32_t Word() {
    uint32_t v = 0;
    for (int i = 0; i < 4; ++i) {
      v |= uint32_t{Byte()} << (8 * i);
    }
    return v;
  }
};
constexpr uint32_t kLeaves[] = {0x0, 0x1, 0x4, 0xB, 0x15, 0x16, 0x1F};
constexpr size_t kSlots = 48;
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  Input in{data, size};
  sim::SmmScenario smm = sim::DefaultSmmScenario();
  const uint8_t control = in.Byte();
  if (control & 1) {
    smm.dimms.clear();
    for (uint8_t n = in.Byte() % (kSlots + 1); n > 0; --n) {
      smm.dimms.push_back({in.Byte() % 4u, in.Byte() % 6u, in.Byte() % 2u});
    }
  }
  if (control & 2) {
    for (uint32_t leaf : kLeaves) {
      smm.cpuid[{leaf, sim::CpuModel::kAnySubLeaf}] = {in.Word(), in.Word(), in.Word(), in.Word()};
    }
  }
  if (control & 4) {
    smm.pcd7.resize(in.Byte());
    for (uint8_t &b : smm.pcd7) {
      b = in.Byte();
    }
  }
  if (control & 8) {
    smm.tsc_hz = 1'000'000 + in.Word() % 10'000'000'000ull;
  }
  static const sim::Scenario scenario =
      sim::ParseScenario(nlohmann::json{{"hob_capacity", 256 * 1024}}, "fuzz", ".");
  sim::SmmBoard board(scenario, smm);
  sim::LyingBus liar(board.machine.bus);
  liar.Lie({sim::ReadPath::Io});
  liar.Lie({sim::ReadPath::Config});
  liar.Feed(data + in.at, size - in.at);
  sim::BusMonitor::Rules rules;
  rules.config_base = board.pci.ConfigBase();
  for (uint8_t f = 0; f < 8; ++f) {
    rules.writable_functions.push_back({0, 31, f});
  }
  sim::BusMonitor monitor(board.machine.bus, rules);
  board.Load(DriverEntry);
  hostile::Require(monitor);
  hostile::Require(board.sink.Calls().size() <= kSlots, "more records than DIMM slots");
  return 0;
}
