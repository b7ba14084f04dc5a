// Load-time step: the processor-topology table (package, core, thread of every enabled
// processor, from its APIC ID and the CPUID topology widths) and the per-processor slots.
#pragma once

#include "uefi/pi_smm.h"
#include "uefi/protocol/smm_cpu_service.h"

constexpr UINT32 kTopologyPackages = 4;
constexpr UINT32 kTopologyCores = 32;   // per package
constexpr UINT32 kTopologyThreads = 64; // entries per core
constexpr UINT32 kProcessorSlotCount = 512;

// One package block: four tables indexed [core][thread].
struct PackageTopology {
  UINT8 CpuPresent[kTopologyCores][kTopologyThreads]; // 1 when filled
  UINT64 CpuNumber[kTopologyCores][kTopologyThreads]; // processor number of the CPU service
  UINT32 CpuApicId[kTopologyCores][kTopologyThreads];
  UINT8 CpuStatus[kTopologyCores][kTopologyThreads]; // kCpuStatusFilled when filled
};
constexpr UINT8 kCpuStatusFilled = 2;

struct ProcessorSlot {
  UINT64 Valid; // set to 1 for every slot by the topology step
  UINT8 Enabled;
};

extern PackageTopology ProcessorTopologyTable[kTopologyPackages];
extern ProcessorSlot ProcessorSlots[kProcessorSlotCount];
extern UINT64 ProcessorSlotsValid;
extern UINT64 ProcessorTopologyValid;
extern UINT32 MaxCoresPerPackage;
extern UINT32 MaxLogicalPerPackage;
extern EFI_SMM_CPU_SERVICE_PROTOCOL *CpuService;
extern EFI_SMM_SYSTEM_TABLE2 *TopologySmmServices; // the step's own SMST reference
extern BOOLEAN TopologyInSmm;

// APIC-ID widths of the SMT level (ThreadBits) and the core level (CoreBits) from CPUID.
// EFI_INVALID_PARAMETER when a destination is absent.
EFI_STATUS GetProcessorTopologyBits(UINT64 *threadBits, UINT64 *coreBits);

// Fills the table; EFI_NOT_READY when no SMM system table can be had.
EFI_STATUS BuildProcessorTopology();
