#include "tools/bootsim/check_images_command.h"

#include <cstdio>

// Placeholder until image checking lands.
int RunCheckImagesCommand(const BootsimOptions &) {
  std::fprintf(stderr, "bootsim: check-images is not available in this build\n");
  return 2;
}
