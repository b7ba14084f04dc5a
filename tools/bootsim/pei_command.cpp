#include "tools/bootsim/pei_command.h"

#include <cstdio>
#include <memory>

#include "sim/binding/image_roles.h"
#include "sim/core/bus_report.h"
#include "sim/core/output_file.h"
#include "sim/core/phase_report.h"
#include "sim/emu/cpu_report.h"
#include "sim/emu/pei_image.h"
#include "sim/pei/pei_boot.h"
#include "sim/pei/pei_report.h"
#include "sim/screen/screenshot.h"

namespace {
constexpr unsigned kPhaseTableDepth = 3; // callbacks, their steps, and one level below

void Screenshot(sim::PeiBoard &board, const std::filesystem::path &file, OutputLog &log) {
  std::string error;
  if (sim::WriteScreenshot(file, board.Screen(), &error)) {
    log.Wrote(file);
  } else {
    log.Failed(error);
  }
}

// Every image the module asked for, by role, and why any was not drawn.
void PrintImages(const sim::PeiBoard &board) {
  const std::vector<sim::ImageCall> &calls = board.images.Calls();
  if (calls.empty()) {
    return;
  }
  std::printf("  %-20s %s\n", "image", "result");
  for (const sim::ImageCall &call : calls) {
    const std::string role = sim::ImageRoleName(call.guid);
    const sim::BmpPlacement &p = call.placement;
    if (call.drawn()) {
      std::printf("  %-20s drawn at columns %u-%u, rows %u-%u\n", role.c_str(), p.left,
                  p.left + p.width - 1, p.top_row, p.bottom_row);
    } else {
      std::printf("  %-20s NOT drawn: %s\n", role.c_str(), call.why_not().c_str());
    }
  }
}

void PrintUnclaimed(const sim::Bus &bus) {
  const std::vector<sim::UnclaimedRange> ranges = sim::GroupUnclaimed(bus.Unclaimed());
  if (bus.Counts().unclaimed == 0) {
    return;
  }
  std::printf("unclaimed accesses: %llu at %zu address ranges (report.json "
              "\"unclaimed_accesses\")\n",
              static_cast<unsigned long long>(bus.Counts().unclaimed), ranges.size());
}
} // namespace

int RunPeiCommand(const BootsimOptions &options) {
  std::optional<sim::Scenario> scenario = LoadScenarioOrReport(options);
  if (!scenario) {
    return kExitBadInput;
  }
  std::unique_ptr<sim::PeiBoard> built;
  std::optional<sim::emu::PeiImageRun> imageRun;
  try {
    if (options.image) {
      const std::vector<uint8_t> image = sim::emu::ReadImageFile(*options.image);
      imageRun.emplace(
          sim::emu::MakePeiImageRun(*scenario, image, options.image->string() + ".map"));
      built = std::move(imageRun->board);
    } else {
      built = std::make_unique<sim::PeiBoard>(*scenario); // the flash key is read here
    }
  } catch (const sim::ScenarioError &e) {
    std::fprintf(stderr, "bootsim: %s\n", e.what());
    return kExitBadInput;
  } catch (const std::exception &e) {
    std::fprintf(stderr, "bootsim: --image: %s: %s\n", options.image->c_str(), e.what());
    return kExitBadInput;
  }
  sim::PeiBoard &board = *built;
  for (const std::string &w : board.warnings) {
    std::fprintf(stderr, "bootsim: warning: %s\n", w.c_str());
  }
  if (!PrepareOutputDir(options)) {
    return kExitOutputFailed;
  }
  OutputLog log;
  TraceOutput trace;
  if (options.trace && !trace.Open(options, board.machine.bus, log)) {
    return kExitOutputFailed;
  }
  bool framesFailed = false;
  size_t frames = 0;
  const auto afterEvent = [&](size_t i, const sim::EventOutcome &e) {
    if (options.frames && !framesFailed) {
      char name[96];
      std::snprintf(name, sizeof name, "frame-%02zu-%s.png", i + 1, e.name.c_str());
      std::string error;
      if (!sim::WriteScreenshot(options.out / name, board.Screen(), &error)) {
        log.Failed(error + " (no further frames are written)");
        framesFailed = true;
      } else {
        ++frames;
      }
    }
  };
  std::function<EFI_STATUS()> load;
  if (imageRun) {
    load = [&] { return board.core.RunPeimAt(imageRun->volume.entry, imageRun->volume.file); };
  }
  const sim::BootResult result = sim::RunPeiBoot(board, afterEvent, load);
  board.machine.bus.SetTrace(nullptr);

  Screenshot(board, options.out / "boot-screen.png", log);
  nlohmann::json report = sim::PeiReport(board, result);
  if (imageRun) {
    const sim::emu::CpuReport cpu = imageRun->binding->Report();
    report["cpu"] = sim::emu::CpuReportJson(cpu);
    std::fputs(sim::emu::CpuReportText(cpu).c_str(), stdout);
  }
  log.Write(options.out / "report.json", report.dump(2) + "\n");
  if (options.timeline) {
    log.Write(options.out / "timeline.json",
              sim::TimelineJson(board.phases, board.machine.bus.Cost()).dump() + "\n");
  }
  trace.Finish(options, log);
  if (frames != 0) {
    log.Wrote((options.out / "frame-*.png").string() + " (" + std::to_string(frames) +
              (frames == 1 ? " file)" : " files)"));
  }

  std::printf("BootProgressPei on %s, boot mode %s\n", scenario->source.c_str(),
              sim::BootModeName(scenario->boot_mode).c_str());
  std::printf("  %-16s %8s %12s\n", "event", "percent", "t (us)");
  for (const sim::EventOutcome &e : result.events) {
    std::printf("  %-16s %8s %12.2f\n", e.name.c_str(),
                e.percent ? std::to_string(*e.percent).c_str() : "-", e.t_us);
  }
  PrintImages(board);
  const sim::BusCounts &c = board.machine.bus.Counts();
  std::printf("virtual time %.2f us%s (stalls %llu us); io %llu r / %llu w, mmio %llu r / %llu w\n",
              board.machine.clock.NowUs(),
              board.machine.clock.Saturated() ? " (saturated: the clock reached its end)" : "",
              static_cast<unsigned long long>(board.core.StallUs()),
              static_cast<unsigned long long>(c.io.reads),
              static_cast<unsigned long long>(c.io.writes),
              static_cast<unsigned long long>(c.mmio.reads),
              static_cast<unsigned long long>(c.mmio.writes));
  const nlohmann::json cost = sim::CostJson(board.phases);
  std::printf("floor %.2f us under the cost model: the boot took %.3f times its floor\n",
              cost["floor_us"].get<double>(), cost["ratio"].get<double>());
  std::fputs(sim::PhaseTable(board.phases, board.machine.bus.Cost(), kPhaseTableDepth).c_str(),
             stdout);
  PrintUnclaimed(board.machine.bus);
  log.PrintSummary();
  return log.Ok() ? kExitDone : kExitOutputFailed;
}
