#include "tools/bootsim/smm_command.h"

#include <cstdio>

// Placeholder until the SMM side of the simulator lands.
int RunSmmCommand(const BootsimOptions &) {
  std::fprintf(stderr, "bootsim: --smm is not available in this build\n");
  return 2;
}
