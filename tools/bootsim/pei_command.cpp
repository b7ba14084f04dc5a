#include "tools/bootsim/pei_command.h"

#include <cstdio>
#include <fstream>
#include <memory>

#include "sim/emu/cpu_report.h"
#include "sim/emu/pei_image.h"
#include "sim/pei/pei_boot.h"
#include "sim/pei/pei_report.h"
#include "sim/screen/screenshot.h"

namespace {
bool Screenshot(sim::PeiBoard &board, const std::filesystem::path &file) {
  std::string error;
  if (!sim::WriteScreenshot(file, board.Screen(), &error)) {
    std::fprintf(stderr, "bootsim: %s\n", error.c_str());
    return false;
  }
  return true;
}
} // namespace

int RunPeiCommand(const BootsimOptions &options) {
  std::optional<sim::Scenario> scenario = LoadScenarioOrReport(options);
  if (!scenario) {
    return 2;
  }
  if (!PrepareOutputDir(options)) {
    return 1;
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
    return 2;
  } catch (const std::exception &e) {
    std::fprintf(stderr, "bootsim: %s: %s\n", options.image->c_str(), e.what());
    return 2;
  }
  sim::PeiBoard &board = *built;
  std::ofstream traceFile;
  std::unique_ptr<sim::Trace> trace;
  if (options.trace) {
    traceFile.open(options.out / "trace.jsonl");
    trace = std::make_unique<sim::Trace>(traceFile);
    board.machine.bus.SetTrace(trace.get());
  }
  bool ok = true;
  const auto afterEvent = [&](size_t i, const sim::EventOutcome &e) {
    if (options.frames) {
      char name[96];
      std::snprintf(name, sizeof name, "frame-%02zu-%s.png", i + 1, e.name.c_str());
      ok = Screenshot(board, options.out / name) && ok;
    }
  };
  std::function<EFI_STATUS()> load;
  if (imageRun) {
    load = [&] { return board.core.RunPeimAt(imageRun->volume.entry, imageRun->volume.file); };
  }
  const sim::BootResult result = sim::RunPeiBoot(board, afterEvent, load);
  board.machine.bus.SetTrace(nullptr);

  ok = Screenshot(board, options.out / "boot-screen.png") && ok;
  nlohmann::json report = sim::PeiReport(board, result);
  if (imageRun) {
    const sim::emu::CpuReport cpu = imageRun->binding->Report();
    report["cpu"] = sim::emu::CpuReportJson(cpu);
    std::printf("image: %llu instructions, deepest stack %llu bytes, %zu guest errors\n",
                static_cast<unsigned long long>(cpu.instructions),
                static_cast<unsigned long long>(cpu.stack_bytes), cpu.errors.size());
    for (const sim::emu::GuestError &e : cpu.errors) {
      std::printf("  guest error at 0x%llX: %s\n", static_cast<unsigned long long>(e.pc),
                  e.what.c_str());
    }
  }
  std::ofstream(options.out / "report.json") << report.dump(2) << '\n';

  std::printf("BootProgressPei on %s, boot mode %s\n", scenario->source.c_str(),
              sim::BootModeName(scenario->boot_mode).c_str());
  std::printf("  %-16s %8s %12s\n", "event", "percent", "t (us)");
  for (const sim::EventOutcome &e : result.events) {
    std::printf("  %-16s %8s %12.2f\n", e.name.c_str(),
                e.percent ? std::to_string(*e.percent).c_str() : "-", e.t_us);
  }
  const sim::BusCounts &c = board.machine.bus.Counts();
  std::printf("virtual time %.2f us (stalls %llu us); io %llu r / %llu w, mmio %llu r / %llu w\n",
              board.machine.clock.NowUs(), static_cast<unsigned long long>(board.core.StallUs()),
              static_cast<unsigned long long>(c.io.reads),
              static_cast<unsigned long long>(c.io.writes),
              static_cast<unsigned long long>(c.mmio.reads),
              static_cast<unsigned long long>(c.mmio.writes));
  std::printf("wrote %s, %s%s\n", (options.out / "boot-screen.png").c_str(),
              (options.out / "report.json").c_str(), options.trace ? ", trace.jsonl" : "");
  return ok ? 0 : 1;
}
