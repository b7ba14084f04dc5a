#include "tools/bootsim/options.h"

#include <cstdio>
#include <system_error>

#include "sim/core/input_file.h"
#include "sim/core/output_file.h"
#include "sim/emu/pei_image.h"
#include "sim/pei/event_scenario.h"
#include "sim/pei/flash_scenario.h"
#include "sim/smm/smm_scenario.h"

namespace {
std::string SetScenario(BootsimOptions &o, const std::string &v) {
  if (o.scenario) {
    return "given twice";
  }
  o.scenario = v;
  return {};
}
} // namespace

const std::vector<CommandOption<BootsimOptions>> &BootsimOptionTable() {
  static const std::vector<CommandOption<BootsimOptions>> table = {
      {"--smm", nullptr, kPeiCommand | kSmmCommand, "load DimmReportSmm on the SMM board",
       [](BootsimOptions &o, const std::string &) {
         o.command = kSmmCommand;
         return std::string();
       }},
      {"--scenario", "FILE", kPeiCommand | kSmmCommand,
       "the board (JSON, at most 1 MiB; docs/scenario.md); default: the built-in board",
       SetScenario},
      {"--image", "FILE.efi", kPeiCommand | kSmmCommand,
       "run the firmware image itself (BootProgressPei.efi, or DimmReportSmm.efi with --smm) on "
       "an emulated processor instead of the host build; FILE.efi.map beside it is read if present",
       [](BootsimOptions &o, const std::string &v) {
         if (o.image) {
           return std::string("given twice");
         }
         o.image = v;
         return std::string();
       }},
      {"--out", "DIR", kPeiCommand | kSmmCommand, "where outputs go (created); default: out",
       [](BootsimOptions &o, const std::string &v) {
         o.out = v;
         return v.empty() ? std::string("needs a directory name") : std::string();
       }},
      {"--frames", nullptr, kPeiCommand,
       "also a screenshot after each event: frame-NN-EVENT.png (PEI boot only)",
       [](BootsimOptions &o, const std::string &) {
         o.frames = true;
         return std::string();
       }},
      {"--trace", nullptr, kPeiCommand | kSmmCommand,
       "also trace.jsonl: every bus access, service call and boot step",
       [](BootsimOptions &o, const std::string &) {
         o.trace = true;
         return std::string();
       }},
      {"--timeline", nullptr, kPeiCommand,
       "also timeline.json: the boot's phases as Chrome trace events (Perfetto, chrome://tracing)",
       [](BootsimOptions &o, const std::string &) {
         o.timeline = true;
         return std::string();
       }},
  };
  return table;
}

std::string BootsimUsage() {
  std::string text =
      "usage: bootsim [OPTIONS]             boot BootProgressPei on the simulated PEI board\n"
      "       bootsim --smm [OPTIONS]       load DimmReportSmm on the simulated SMM board\n"
      "       bootsim check-images [...]    check boot-screen artwork (bootsim check-images "
      "--help)\n"
      "options:\n";
  text += OptionHelp(BootsimOptionTable());
  text +=
      "  --help, -h          this text\n"
      "outputs in DIR: boot-screen.png and report.json (PEI), report.json (SMM), "
      "frame-NN-EVENT.png\n"
      "  with --frames, trace.jsonl with --trace; README.md describes their fields\n"
      "exit codes: 0 done; 1 the module's load failed (SMM); 2 bad usage, scenario or input file;\n"
      "  3 an output could not be written\n";
  return text;
}

std::optional<sim::Scenario> LoadScenarioOrReport(const BootsimOptions &options) {
  try {
    sim::Scenario s =
        options.scenario ? sim::LoadScenario(*options.scenario) : sim::DefaultScenario();
    // Both boards' blocks are checked whichever runs, so a mistake never waits for the other mode.
    (void)sim::ParsePpiEvents(s);
    (void)sim::ParseFlashVolumes(s);
    (void)sim::ParseSmmScenario(s);
    (void)sim::emu::ParsePeiImageLayout(s);
    return s;
  } catch (const sim::ScenarioError &e) {
    std::fprintf(stderr, "bootsim: %s%s\n", e.key == "(file)" ? "--scenario: " : "", e.what());
    return std::nullopt;
  }
}

bool PrepareOutputDir(const BootsimOptions &options) {
  std::error_code ec;
  std::filesystem::create_directories(options.out, ec);
  if (ec || !std::filesystem::is_directory(options.out)) {
    std::fprintf(stderr, "bootsim: --out: cannot create the directory %s: %s\n",
                 options.out.c_str(), ec ? ec.message().c_str() : "a file of that name exists");
    return false;
  }
  return true;
}

void OutputLog::Write(const std::filesystem::path &file, const std::string &bytes) {
  std::string error;
  if (sim::WriteOutputFile(file, bytes, &error)) {
    Wrote(file);
  } else {
    Failed(error);
  }
}

void OutputLog::Failed(const std::string &error) {
  std::fprintf(stderr, "bootsim: %s\n", error.c_str());
  ++errors_;
}

void OutputLog::PrintSummary() const {
  if (!written_.empty()) {
    std::string list;
    for (const std::string &w : written_) {
      list += (list.empty() ? "" : ", ") + w;
    }
    std::printf("wrote %s\n", list.c_str());
  }
  if (errors_ != 0) {
    std::fprintf(stderr, "bootsim: %zu output%s could not be written\n", errors_,
                 errors_ == 1 ? "" : "s");
  }
}

bool TraceOutput::Open(const BootsimOptions &options, sim::Bus &bus, OutputLog &log) {
  file_ = std::make_unique<sim::OutputStream>(options.out / "trace.jsonl");
  if (!file_->Error().empty()) {
    log.Failed(file_->Error());
    return false;
  }
  trace_ = std::make_unique<sim::Trace>(file_->Stream());
  bus.SetTrace(trace_.get());
  return true;
}

void TraceOutput::Finish(const BootsimOptions &options, OutputLog &log) {
  if (!file_) {
    return;
  }
  if (const std::string error = file_->Finish(); !error.empty()) {
    log.Failed(error);
  } else {
    log.Wrote(options.out / "trace.jsonl");
  }
}
