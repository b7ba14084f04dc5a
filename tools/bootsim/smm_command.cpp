#include "tools/bootsim/smm_command.h"

#include <cstdio>
#include <memory>

#include "sim/binding/module_entries.h"
#include "sim/core/efi_status_names.h"
#include "sim/core/output_file.h"
#include "sim/emu/cpu_report.h"
#include "sim/emu/smm_image.h"
#include "sim/smm/smm_board.h"
#include "sim/smm/smm_report.h"

namespace {
void PrintRecords(const sim::SmmBoard &board) {
  std::printf("  %-6s %-6s %-7s %-4s  %s\n", "socket", "group", "channel", "slot", "record");
  for (const sim::SinkCall &call : board.sink.Calls()) {
    const uint8_t group = call.record[5];
    std::printf("  %-6u %-6u %-7u %-4u  %s\n", group / 2u, group, call.record[6], call.record[7],
                sim::RecordHex(call).c_str());
  }
}

void PrintTopology(const std::vector<sim::TopologyEntry> &entries) {
  std::printf("  %-7s %-4s %-6s %-6s %s\n", "package", "core", "thread", "number", "apic id");
  for (const sim::TopologyEntry &e : entries) {
    std::printf("  %-7u %-4u %-6u %-6llu 0x%x\n", e.package, e.core, e.thread,
                static_cast<unsigned long long>(e.number), e.apic_id);
  }
}
} // namespace

int RunSmmCommand(const BootsimOptions &options) {
  std::optional<sim::Scenario> scenario = LoadScenarioOrReport(options);
  if (!scenario) {
    return kExitBadInput;
  }
  std::optional<sim::SmmBoard> board;
  try {
    board.emplace(*scenario);
  } catch (const sim::ScenarioError &e) {
    std::fprintf(stderr, "bootsim: %s\n", e.what());
    return kExitBadInput;
  }
  std::optional<sim::emu::SmmImageRun> image;
  if (options.image) {
    try {
      image.emplace(*board, sim::emu::ReadImageFile(*options.image),
                    options.image->string() + ".map");
    } catch (const std::exception &e) {
      std::fprintf(stderr, "bootsim: --image: %s: %s\n", options.image->c_str(), e.what());
      return kExitBadInput;
    }
  }
  if (!PrepareOutputDir(options)) {
    return kExitOutputFailed;
  }
  OutputLog log;
  TraceOutput trace;
  if (options.trace) {
    if (!trace.Open(options, board->machine.bus, log)) {
      return kExitOutputFailed;
    }
    trace.Get()->Event(board->machine.clock.NowUs(), "entry DimmReportSmm");
  }
  const EFI_STATUS status = image ? image->Load() : board->Load(sim::DimmReportSmmEntryPoint());
  board->machine.bus.SetTrace(nullptr);
  // The driver's own results: the host build's globals, or the image's.
  const sim::SmmDriverResults results =
      image ? sim::ImageSmmDriverResults(image->Global("?TscFrequency@@"),
                                         image->Global("?ProcessorTopologyTable@@"))
            : sim::HostSmmDriverResults();
  const uint64_t tscFrequency = results.tsc_frequency;
  nlohmann::json report = {{"scenario", scenario->source},
                           {"smm", sim::SmmReport(*board, status, tscFrequency)}};
  if (image) {
    const sim::emu::CpuReport cpu = image->Report();
    report["cpu"] = sim::emu::CpuReportJson(cpu);
    std::fputs(sim::emu::CpuReportText(cpu).c_str(), stdout);
  }
  log.Write(options.out / "report.json", report.dump(2) + "\n");
  trace.Finish(options, log);

  std::printf("DimmReportSmm on %s: %s\n", scenario->source.c_str(),
              sim::EfiStatusName(status).c_str());
  std::printf("records: %zu delivered, %llu sink lookups\n", board->sink.Calls().size(),
              static_cast<unsigned long long>(board->SinkLookups()));
  PrintRecords(*board);
  const double hz = static_cast<double>(board->smm.tsc_hz);
  std::printf("TSC: measured %llu Hz, board %llu Hz (%+.3f%%)\n",
              static_cast<unsigned long long>(tscFrequency),
              static_cast<unsigned long long>(board->smm.tsc_hz),
              (static_cast<double>(tscFrequency) - hz) / hz * 100.0);
  if (results.has_topology) {
    PrintTopology(results.topology);
  }
  std::printf("virtual time %.2f us%s\n", board->machine.clock.NowUs(),
              board->machine.clock.Saturated() ? " (saturated: the clock reached its end)" : "");
  log.PrintSummary();
  if (!log.Ok()) {
    return kExitOutputFailed;
  }
  return EFI_ERROR(status) ? kExitRunFailed : kExitDone;
}
