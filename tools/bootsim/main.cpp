// bootsim: runs the firmware modules on the simulated board.
//   bootsim [--scenario FILE] [--out DIR] [--frames] [--trace]   PEI boot of BootProgressPei
//   bootsim --smm [--scenario FILE] [--out DIR]                   load of DimmReportSmm
//   ... --image FILE.efi                                          run the firmware image itself
//   bootsim check-images [FILE.bmp ...]                           check boot-screen artwork
// Exit codes: 0 done, 1 run failed, 2 bad usage or scenario.
#include <cstdio>
#include <cstring>
#include <string>

#include "tools/bootsim/check_images_command.h"
#include "tools/bootsim/pei_command.h"
#include "tools/bootsim/smm_command.h"

namespace {
int Usage() {
  std::fprintf(stderr, "usage: bootsim [--smm] [--image FILE.efi] [--scenario FILE] [--out DIR] "
                       "[--frames] [--trace]\n"
                       "       bootsim check-images [FILE.bmp ...]\n");
  return 2;
}
} // namespace

int main(int argc, char **argv) {
  BootsimOptions options;
  bool smm = false;
  int first = 1;
  if (argc > 1 && std::strcmp(argv[1], "check-images") == 0) {
    for (int i = 2; i < argc; ++i) {
      options.args.push_back(argv[i]);
    }
    return RunCheckImagesCommand(options);
  }
  for (int i = first; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--scenario" && i + 1 < argc) {
      options.scenario = argv[++i];
    } else if (arg == "--out" && i + 1 < argc) {
      options.out = argv[++i];
    } else if (arg == "--frames") {
      options.frames = true;
    } else if (arg == "--trace") {
      options.trace = true;
    } else if (arg == "--image" && i + 1 < argc) {
      options.image = argv[++i];
    } else if (arg == "--smm") {
      smm = true;
    } else {
      return Usage();
    }
  }
  return smm ? RunSmmCommand(options) : RunPeiCommand(options);
}
