#pragma once

#include "tools/bootsim/options.h"

// Checks boot-screen BMP files: placement, palette use and what a designer must know.
int RunCheckImagesCommand(const BootsimOptions &options);
