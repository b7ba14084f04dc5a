#include "tools/bootsim/smm_command.h"

#include <cstdio>
#include <memory>

#include "dimmreport/driver_entry.h"
#include "dimmreport/driver_state.h"
#include "dimmreport/processor_topology.h"
#include "sim/core/output_file.h"
#include "sim/smm/efi_status_names.h"
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

void PrintTopology() {
  std::printf("topology: %u cores, %u logical per package\n", MaxCoresPerPackage,
              MaxLogicalPerPackage);
  std::printf("  %-7s %-4s %-6s %-6s %s\n", "package", "core", "thread", "number", "apic id");
  for (uint32_t p = 0; p < kTopologyPackages; ++p) {
    for (uint32_t c = 0; c < kTopologyCores; ++c) {
      for (uint32_t t = 0; t < kTopologyThreads; ++t) {
        const PackageTopology &pkg = ProcessorTopologyTable[p];
        if (pkg.CpuPresent[c][t] == 1) {
          std::printf("  %-7u %-4u %-6u %-6llu 0x%x\n", p, c, t,
                      static_cast<unsigned long long>(pkg.CpuNumber[c][t]), pkg.CpuApicId[c][t]);
        }
      }
    }
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
  if (!PrepareOutputDir(options)) {
    return kExitOutputFailed;
  }
  OutputLog log;
  std::unique_ptr<sim::OutputStream> traceFile;
  std::unique_ptr<sim::Trace> trace;
  if (options.trace) {
    traceFile = std::make_unique<sim::OutputStream>(options.out / "trace.jsonl");
    if (!traceFile->Error().empty()) {
      log.Failed(traceFile->Error());
      return kExitOutputFailed;
    }
    trace = std::make_unique<sim::Trace>(traceFile->Stream());
    board->machine.bus.SetTrace(trace.get());
    trace->Event(board->machine.clock.NowUs(), "entry DimmReportSmm");
  }
  const EFI_STATUS status = board->Load(DriverEntry);
  board->machine.bus.SetTrace(nullptr);
  log.Write(options.out / "report.json",
            nlohmann::json{{"scenario", scenario->source},
                           {"smm", sim::SmmReport(*board, status, TscFrequency)}}
                    .dump(2) +
                "\n");
  if (traceFile) {
    if (const std::string error = traceFile->Finish(); !error.empty()) {
      log.Failed(error);
    } else {
      log.Wrote(options.out / "trace.jsonl");
    }
  }

  std::printf("DimmReportSmm on %s: %s\n", scenario->source.c_str(),
              sim::EfiStatusName(status).c_str());
  std::printf("records: %zu delivered, %llu sink lookups\n", board->sink.Calls().size(),
              static_cast<unsigned long long>(board->SinkLookups()));
  PrintRecords(*board);
  const double hz = static_cast<double>(board->smm.tsc_hz);
  std::printf("TSC: measured %llu Hz, board %llu Hz (%+.3f%%)\n",
              static_cast<unsigned long long>(TscFrequency),
              static_cast<unsigned long long>(board->smm.tsc_hz),
              (static_cast<double>(TscFrequency) - hz) / hz * 100.0);
  PrintTopology();
  std::printf("virtual time %.2f us%s\n", board->machine.clock.NowUs(),
              board->machine.clock.Saturated() ? " (saturated: the clock reached its end)" : "");
  log.PrintSummary();
  if (!log.Ok()) {
    return kExitOutputFailed;
  }
  return EFI_ERROR(status) ? kExitRunFailed : kExitDone;
}
