// bootsim's command line: the commands, their options as one table, and the steps every command
// shares (the scenario, the output directory, writing outputs).
//   bootsim [OPTIONS]            PEI boot of BootProgressPei
//   bootsim --smm [OPTIONS]      SMM load of DimmReportSmm
//   bootsim check-images ...     boot-screen artwork checks (check_images_command.cpp)
#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "sim/core/bus.h"
#include "sim/core/output_file.h"
#include "sim/core/scenario.h"
#include "sim/core/trace.h"
#include "tools/bootsim/command_line.h"

// Exit codes of every bootsim command.
constexpr int kExitDone = 0;
constexpr int kExitRunFailed = 1;    // the module reported an error; check-images refused an image
constexpr int kExitBadInput = 2;     // unknown option, unusable scenario or input file
constexpr int kExitOutputFailed = 3; // an output file could not be written

// The commands an option applies to.
constexpr unsigned kPeiCommand = 1;
constexpr unsigned kSmmCommand = 2;

struct BootsimOptions {
  unsigned command = kPeiCommand;
  std::optional<std::filesystem::path> scenario; // none: the built-in default board
  std::filesystem::path out = "out";
  bool frames = false;
  bool trace = false;
  bool timeline = false;
  std::optional<std::filesystem::path> image; // run this firmware image instead of the host build
};

const std::vector<CommandOption<BootsimOptions>> &BootsimOptionTable();
// The full usage text: commands, every option, exit codes.
std::string BootsimUsage();

// The scenario the options name, or the built-in default, with every block bootsim knows checked
// (flash and smm, whichever board runs). Prints the error and returns nothing when it cannot be
// used.
std::optional<sim::Scenario> LoadScenarioOrReport(const BootsimOptions &options);

// Creates the output directory; prints why and returns false when it cannot.
bool PrepareOutputDir(const BootsimOptions &options);

// Collects the outputs of a run: what was written and what failed, for the summary and the exit
// code.
class OutputLog {
public:
  // Writes `bytes` to `name` in the output directory.
  void Write(const std::filesystem::path &file, const std::string &bytes);
  void Wrote(const std::filesystem::path &file) { written_.push_back(file.string()); }
  void Failed(const std::string &error);
  bool Ok() const { return errors_ == 0; }
  // "wrote a, b" (or nothing), then "bootsim: N outputs could not be written" on failure.
  void PrintSummary() const;

private:
  std::vector<std::string> written_;
  size_t errors_ = 0;
};

// trace.jsonl of a run that asks for --trace.
class TraceOutput {
public:
  // Creates the file and attaches its trace to `bus`; false, logged, when it cannot be created.
  bool Open(const BootsimOptions &options, sim::Bus &bus, OutputLog &log);
  sim::Trace *Get() const { return trace_.get(); }
  // Completes the file, if one was opened, and logs it as written or failed.
  void Finish(const BootsimOptions &options, OutputLog &log);

private:
  std::unique_ptr<sim::OutputStream> file_;
  std::unique_ptr<sim::Trace> trace_;
};
