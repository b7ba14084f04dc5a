#pragma once

#include "tools/bootsim/options.h"

// The SMM load of DimmReportSmm: the records the sink received, report.json.
int RunSmmCommand(const BootsimOptions &options);
