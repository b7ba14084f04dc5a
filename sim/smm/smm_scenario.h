// The `smm` key of a board scenario: what the SMM load of DimmReportSmm finds. Every key is
// optional; the defaults give a healthy board with all 48 DIMM slots populated.
//   dimms         populated slots as [socket, channel, slot] triples
//   topology_hob  false leaves the memory-topology HOB out (default true)
//   processors    [{"apic_id": N, "enabled": true}, ...], at most 1024
//   cpuid         {"0x1": [eax, ebx, ecx, edx], "0xb.1": [...]}: a leaf, or leaf.sub-leaf;
//                 entries replace the defaults they name
//   tsc_hz        time-stamp-counter rate, 1 MHz to 10 GHz
//   sink          {"present": true, "from_record": N, "status": S}: the sink can be located from
//                 the Nth lookup on (1-based); SubmitRecord returns S (a name or a number)
//   missing       interfaces left out of the databases (see SmmInterfaceNames)
//   pcd7          the bytes of PCD token 7, as a hex string
#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "access/cpu.h"
#include "sim/core/scenario.h"
#include "sim/smm/cpu_service_model.h"
#include "sim/smm/memory_topology.h"

namespace sim {

struct SinkSpec {
  bool present = true;
  uint64_t from_record = 1;
  EFI_STATUS status = EFI_SUCCESS;
};

struct SmmScenario {
  std::vector<DimmSlot> dimms;
  bool topology_hob = true;
  std::vector<ProcessorSpec> processors;
  std::map<std::pair<uint32_t, uint32_t>, CpuidResult> cpuid; // sub-leaf kAnySubLeaf: leaf only
  uint64_t tsc_hz = 2'400'000'000;
  SinkSpec sink;
  std::set<std::string> missing;
  std::vector<uint8_t> pcd7;
};

// Names usable in `missing`: smm_base2, smm_access2, pcd, smm_cpu_service, hob_list and the
// three platform interfaces by the first group of their GUID.
const std::vector<std::string> &SmmInterfaceNames();

// The default board: 4 packages of 8 cores with 2 threads (APIC ID = package << 4 | core << 1 |
// thread), CPUID leaves 0, 1, 4 and 0x0B to match, every DIMM slot populated.
SmmScenario DefaultSmmScenario();
// The defaults with the scenario's `smm` key applied; ScenarioError names what is wrong.
SmmScenario ParseSmmScenario(const Scenario &scenario);

} // namespace sim
