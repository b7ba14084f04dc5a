#pragma once

#include "tools/bootsim/options.h"

// The PEI boot: boot-screen.png, report.json, optional frames and trace, and a summary.
int RunPeiCommand(const BootsimOptions &options);
