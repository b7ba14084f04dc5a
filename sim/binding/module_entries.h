// The firmware modules as the simulator's cores run them: their entry points, and what the SMM
// driver leaves behind, read into the simulator's own types. The host build's globals and an
// image's (found through its linker map) have the same layout, so both are read here.
#pragma once

#include <cstdint>
#include <vector>

#include "uefi/pi_pei.h"
#include "uefi/uefi_system_table.h"

namespace sim {

// BootProgressPei's entry point, for PeiCore::RunPeim.
EFI_PEIM_ENTRY_POINT2 BootProgressPeiEntryPoint();

// DimmReportSmm's entry point, for SmmBoard::Load.
EFI_IMAGE_ENTRY_POINT DimmReportSmmEntryPoint();

// One filled entry of the driver's processor-topology table.
struct TopologyEntry {
  uint32_t package, core, thread;
  uint64_t number; // processor number of the CPU service
  uint32_t apic_id;
};

struct SmmDriverResults {
  uint64_t tsc_frequency = 0; // 0 when the image does not export it
  bool has_topology = false;  // the table was found
  std::vector<TopologyEntry> topology;
};

// The host build's results after a load.
SmmDriverResults HostSmmDriverResults();
// An image's results from its globals: the TSC frequency variable and the topology table, each
// null when the image does not export it.
SmmDriverResults ImageSmmDriverResults(const void *tscFrequency, const void *topologyTable);

} // namespace sim
