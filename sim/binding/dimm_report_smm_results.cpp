#include "sim/binding/module_entries.h"

#include <cstring>

#include "modules/dimm_report_smm/driver_entry.h"
#include "modules/dimm_report_smm/driver_state.h"
#include "modules/dimm_report_smm/processor_topology.h"

namespace sim {

namespace {
std::vector<TopologyEntry> FilledEntries(const PackageTopology *table) {
  std::vector<TopologyEntry> entries;
  for (uint32_t p = 0; p < kTopologyPackages; ++p) {
    for (uint32_t c = 0; c < kTopologyCores; ++c) {
      for (uint32_t t = 0; t < kTopologyThreads; ++t) {
        const PackageTopology &pkg = table[p];
        if (pkg.CpuPresent[c][t] == 1) {
          entries.push_back({p, c, t, pkg.CpuNumber[c][t], pkg.CpuApicId[c][t]});
        }
      }
    }
  }
  return entries;
}
} // namespace

EFI_IMAGE_ENTRY_POINT DimmReportSmmEntryPoint() { return DriverEntry; }

SmmDriverResults HostSmmDriverResults() {
  return ImageSmmDriverResults(&TscFrequency, ProcessorTopologyTable);
}

SmmDriverResults ImageSmmDriverResults(const void *tscFrequency, const void *topologyTable) {
  SmmDriverResults r;
  if (tscFrequency != nullptr) {
    std::memcpy(&r.tsc_frequency, tscFrequency, sizeof r.tsc_frequency);
  }
  if (topologyTable != nullptr) {
    r.has_topology = true;
    r.topology = FilledEntries(static_cast<const PackageTopology *>(topologyTable));
  }
  return r;
}

} // namespace sim
