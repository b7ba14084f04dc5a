// bootsim: runs the firmware modules on the simulated board.
//   bootsim [--scenario FILE] [--out DIR] [--frames] [--trace]   PEI boot of BootProgressPei
//   bootsim --smm [--scenario FILE] [--out DIR] [--trace]         load of DimmReportSmm
//   ... --image FILE.efi                                          run the firmware image itself
//   bootsim check-images ...                                      check boot-screen artwork
// `bootsim --help` lists every option; exit codes are in tools/bootsim/options.h.
#include <cstdio>
#include <string>
#include <vector>

#include "tools/bootsim/check_images_command.h"
#include "tools/bootsim/pei_command.h"
#include "tools/bootsim/smm_command.h"

int main(int argc, char **argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  if (!args.empty() && args[0] == "check-images") {
    return RunCheckImagesCommand({args.begin() + 1, args.end()});
  }
  BootsimOptions options;
  std::string error;
  std::vector<const CommandOption<BootsimOptions> *> given;
  const ParseOutcome outcome =
      ParseCommandLine(BootsimOptionTable(), args, options, nullptr, &error, &given);
  if (outcome == ParseOutcome::kHelp) {
    std::fputs(BootsimUsage().c_str(), stdout);
    return kExitDone;
  }
  for (const auto *o : given) {
    if (outcome == ParseOutcome::kRun && (o->commands & options.command) == 0) {
      error = std::string(o->name) + " does not apply to the " +
              (options.command == kSmmCommand ? "SMM load" : "PEI boot");
    }
  }
  if (!error.empty()) {
    std::fprintf(stderr, "bootsim: %s\n%s", error.c_str(), BootsimUsage().c_str());
    return kExitBadInput;
  }
  return options.command == kSmmCommand ? RunSmmCommand(options) : RunPeiCommand(options);
}
