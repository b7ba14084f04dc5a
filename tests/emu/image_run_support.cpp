#include "tests/emu/image_run_support.h"

#include <cstdio>
#include <fstream>
#include <iterator>

#include "sim/emu/cpu_report.h"
#include "sim/pei/pei_boot.h"
#include "sim/pei/pei_report.h"
#include "sim/screen/screenshot.h"

namespace emutest {

namespace {
std::vector<uint8_t> Png(sim::PeiBoard &board) {
  static int serial = 0;
  const std::filesystem::path file =
      std::filesystem::temp_directory_path() /
      ("emu-screen-" + std::to_string(::getpid()) + "-" + std::to_string(serial++) + ".png");
  std::string error;
  if (!sim::WriteScreenshot(file, board.Screen(), &error)) {
    return {};
  }
  std::ifstream in(file, std::ios::binary);
  std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  std::filesystem::remove(file);
  return bytes;
}

BootRecord Boot(sim::PeiBoard &board, const std::function<EFI_STATUS()> &load, bool keep) {
  AccessLog log(keep);
  board.machine.bus.SetTrace(&log);
  const sim::BootResult result = sim::RunPeiBoot(board, {}, load);
  board.machine.bus.SetTrace(nullptr);
  return {sim::PeiReport(board, result), Png(board), std::move(log.accesses), log.digest,
          std::nullopt};
}
} // namespace

std::vector<uint8_t> ImageBytes() { return sim::emu::ReadImageFile(BOOT_PROGRESS_PEI_IMAGE); }
std::filesystem::path ImageMap() { return BOOT_PROGRESS_PEI_IMAGE ".map"; }

BootRecord HostBoot(const sim::Scenario &scenario, bool keep) {
  const sim::emu::PeiImageLayout layout = sim::emu::ParsePeiImageLayout(scenario);
  const sim::emu::PeimVolume volume = sim::emu::PackPeimVolume(ImageBytes(), layout.volume_base);
  sim::PeiBoard board(scenario, [&](sim::PeiBoard &b) {
    b.flash.Load(volume.base, volume.bytes, "BootProgressPei image volume");
    return std::unique_ptr<sim::PeiCoreBinding>();
  });
  return Boot(board, {}, keep);
}

BootRecord ImageBoot(const sim::Scenario &scenario, const std::vector<uint8_t> &image, bool keep) {
  sim::emu::PeiImageRun run = sim::emu::MakePeiImageRun(scenario, image, ImageMap());
  BootRecord record = Boot(
      *run.board, [&] { return run.Load(); }, keep);
  record.cpu = run.binding->Report();
  return record;
}

std::string FirstDifference(const BootRecord &host, const BootRecord &image) {
  if (host.digest != image.digest) {
    const size_t n = std::min(host.accesses.size(), image.accesses.size());
    for (size_t i = 0; i < n; ++i) {
      if (!(host.accesses[i] == image.accesses[i])) {
        return "device access #" + std::to_string(i) + ": host build " +
               Describe(host.accesses[i]) + ", image " + Describe(image.accesses[i]);
      }
    }
    if (host.accesses.size() != image.accesses.size()) {
      const bool hostLonger = host.accesses.size() > image.accesses.size();
      const Access &extra = hostLonger ? host.accesses[n] : image.accesses[n];
      return "device access #" + std::to_string(n) + ": only the " +
             (hostLonger ? "host build" : "image") + " makes it (" + Describe(extra) + ")";
    }
    return "device accesses differ (" + std::to_string(host.digest.count) + " by the host build, " +
           std::to_string(image.digest.count) + " by the image; run kept none to compare)";
  }
  if (host.report != image.report) {
    return "report.json: " + nlohmann::json::diff(host.report, image.report).dump();
  }
  if (host.png != image.png) {
    return "screenshot bytes differ";
  }
  return {};
}

} // namespace emutest

#include "modules/dimm_report_smm/driver_entry.h"
#include "modules/dimm_report_smm/driver_state.h"
#include "modules/dimm_report_smm/processor_topology.h"
#include "sim/emu/smm_image.h"
#include "sim/smm/smm_report.h"

namespace emutest {

namespace {
std::string HexBytes(const void *bytes, size_t size) {
  std::string hex;
  for (size_t i = 0; i < size; ++i) {
    char pair[3];
    std::snprintf(pair, sizeof pair, "%02x", static_cast<const uint8_t *>(bytes)[i]);
    hex += pair;
  }
  return hex;
}

// The driver's processor-topology results (module globals), beside the report.
nlohmann::json Topology(const void *table, const void *cores, const void *logical) {
  if (table == nullptr || cores == nullptr || logical == nullptr) {
    return nullptr;
  }
  return {HexBytes(table, sizeof ProcessorTopologyTable), HexBytes(cores, sizeof(UINT32)),
          HexBytes(logical, sizeof(UINT32))};
}

// Everything the sink received, arguments included, beside the report.
nlohmann::json SinkCalls(const sim::SmmBoard &board) {
  nlohmann::json calls = nlohmann::json::array();
  for (const sim::SinkCall &c : board.sink.Calls()) {
    calls.push_back({sim::RecordHex(c), c.arg3, c.arg4, c.size});
  }
  return calls;
}
} // namespace

SmmRecord HostSmmLoad(const sim::Scenario &scenario, bool keep) {
  sim::SmmBoard board(scenario);
  AccessLog log(keep);
  board.machine.bus.SetTrace(&log);
  const EFI_STATUS status = board.Load(DriverEntry);
  board.machine.bus.SetTrace(nullptr);
  nlohmann::json report = sim::SmmReport(board, status, TscFrequency);
  report["sink_calls"] = SinkCalls(board);
  report["topology"] = Topology(ProcessorTopologyTable, &MaxCoresPerPackage, &MaxLogicalPerPackage);
  return {report, std::move(log.accesses), log.digest, std::nullopt};
}

SmmRecord ImageSmmLoad(const sim::Scenario &scenario, bool keep) {
  sim::SmmBoard board(scenario);
  sim::emu::SmmImageRun run(board, sim::emu::ReadImageFile(DIMM_REPORT_SMM_IMAGE),
                            DIMM_REPORT_SMM_IMAGE ".map");
  AccessLog log(keep);
  board.machine.bus.SetTrace(&log);
  const EFI_STATUS status = run.Load();
  board.machine.bus.SetTrace(nullptr);
  const void *tsc = run.Global("?TscFrequency@@");
  nlohmann::json report =
      sim::SmmReport(board, status, tsc ? *static_cast<const uint64_t *>(tsc) : 0);
  report["sink_calls"] = SinkCalls(board);
  report["topology"] =
      Topology(run.Global("?ProcessorTopologyTable@@"), run.Global("?MaxCoresPerPackage@@"),
               run.Global("?MaxLogicalPerPackage@@"));
  return {report, std::move(log.accesses), log.digest, run.Report()};
}

std::string FirstDifference(const SmmRecord &host, const SmmRecord &image) {
  BootRecord h{host.report, {}, host.accesses, host.digest, std::nullopt};
  BootRecord i{image.report, {}, image.accesses, image.digest, std::nullopt};
  return FirstDifference(h, i);
}

} // namespace emutest
