#include "modules/dimm_report_smm/processor_topology.h"

#include "access/cpu.h"
#include "modules/dimm_report_smm/dimm_guids.h"
#include "modules/dimm_report_smm/driver_state.h"
#include "modules/dimm_report_smm/module_global.h"
#include "uefi/protocol/smm_base2.h"

MODULE_GLOBAL PackageTopology ProcessorTopologyTable[kTopologyPackages];
MODULE_GLOBAL ProcessorSlot ProcessorSlots[kProcessorSlotCount];
MODULE_GLOBAL UINT64 ProcessorSlotsValid;
MODULE_GLOBAL UINT64 ProcessorTopologyValid;
MODULE_GLOBAL UINT32 MaxCoresPerPackage;
MODULE_GLOBAL UINT32 MaxLogicalPerPackage;
MODULE_GLOBAL EFI_SMM_CPU_SERVICE_PROTOCOL *CpuService;
MODULE_GLOBAL EFI_SMM_SYSTEM_TABLE2 *TopologySmmServices;
MODULE_GLOBAL BOOLEAN TopologyInSmm;

namespace {
// CPUID leaf 1 EDX bit 28: the package has more than one logical processor.
constexpr UINT32 kCpuid1HyperThreading = 1u << 28;
constexpr UINT32 kLeafTopology = 0x0B;
constexpr UINT32 kLeafCacheParameters = 4;
constexpr UINT32 kLevelTypeInvalid = 0;
constexpr UINT32 kLevelTypeCore = 2;
// Leaf 0x0B level numbers are 8 bits, so no processor has more sub-leaves than this; a CPUID
// that never reports the end stops here instead of spinning.
constexpr UINT32 kMaxTopologySubLeaves = 256;

// Shifts of 32-bit values as the x86 shift instructions do them: the count is taken mod 32.
UINT32 Shl32(UINT32 value, UINT64 count) { return value << (count & 31); }
UINT32 Shr32(UINT32 value, UINT64 count) { return value >> (count & 31); }

// Index of the highest set bit plus one; 0 for 0.
UINT64 BitWidth(UINT32 value) {
  UINT64 width = 0;
  while (value != 0) {
    ++width;
    value >>= 1;
  }
  return width;
}

UINT32 Min(UINT32 a, UINT32 b) { return a < b ? a : b; }

VOID ClearTopologyTable() {
  // Bounded by the table's dimensions whatever CPUID claims.
  const UINT32 cores = Min(MaxCoresPerPackage, kTopologyCores);
  const UINT32 threads = Min(MaxLogicalPerPackage, kTopologyThreads);
  for (UINT32 p = 0; p < kTopologyPackages; ++p) {
    PackageTopology &package = ProcessorTopologyTable[p];
    for (UINT32 c = 0; c < cores; ++c) {
      for (UINT32 t = 0; t < threads; ++t) {
        package.CpuPresent[c][t] = 0;
        package.CpuNumber[c][t] = 0;
        package.CpuApicId[c][t] = 0;
        package.CpuStatus[c][t] = 0;
      }
    }
  }
}

VOID RecordProcessor(UINTN number, UINT64 threadBits, UINT64 coreBits) {
  EFI_PROCESSOR_INFORMATION info = {};
  if (EFI_ERROR(CpuService->GetProcessorInfo(CpuService, number, &info)) ||
      (info.StatusFlag & PROCESSOR_ENABLED_BIT) == 0) {
    return;
  }
  if (number < kProcessorSlotCount) {
    ProcessorSlots[number].Enabled = 1;
  }
  const UINT32 apicId = static_cast<UINT32>(info.ProcessorId);
  const UINT32 package = static_cast<UINT8>(Shr32(apicId, threadBits + coreBits));
  const UINT32 core = Shr32(apicId, threadBits) & (Shl32(1, coreBits) - 1);
  const UINT32 thread = apicId & (Shl32(1, threadBits) - 1);
  if (package < kTopologyPackages && core < Min(MaxCoresPerPackage, kTopologyCores) &&
      thread < Min(MaxLogicalPerPackage, kTopologyThreads)) {
    PackageTopology &p = ProcessorTopologyTable[package];
    p.CpuPresent[core][thread] = 1;
    p.CpuNumber[core][thread] = number;
    p.CpuApicId[core][thread] = apicId;
    p.CpuStatus[core][thread] = kCpuStatusFilled;
  }
}
} // namespace

EFI_STATUS GetProcessorTopologyBits(UINT64 *threadBits, UINT64 *coreBits) {
  if (coreBits == nullptr || threadBits == nullptr) {
    return EFI_INVALID_PARAMETER;
  }
  const CpuidResult leaf1 = AsmCpuid(1);
  *threadBits = 0;
  *coreBits = 0;
  if ((leaf1.Edx & kCpuid1HyperThreading) == 0) {
    return EFI_SUCCESS;
  }
  const UINT32 maxLeaf = AsmCpuid(0).Eax;
  if (maxLeaf >= kLeafTopology) {
    const CpuidResult smt = AsmCpuidEx(kLeafTopology, 0);
    if (smt.Ebx != 0) {
      *threadBits = smt.Eax & 0x1F;
      for (UINT32 subLeaf = 1; subLeaf < kMaxTopologySubLeaves; ++subLeaf) {
        const CpuidResult level = AsmCpuidEx(kLeafTopology, subLeaf);
        const UINT32 type = (level.Ecx >> 8) & 0xFF;
        if (type == kLevelTypeCore) {
          *coreBits = (level.Eax & 0x1F) - *threadBits;
          return EFI_SUCCESS;
        }
        if (type == kLevelTypeInvalid) {
          return EFI_SUCCESS;
        }
      }
      return EFI_SUCCESS;
    }
  }
  const UINT32 logical = (leaf1.Ebx >> 16) & 0xFF;
  const UINT32 cores =
      maxLeaf >= kLeafCacheParameters ? (AsmCpuidEx(kLeafCacheParameters, 0).Eax >> 26) + 1 : 1;
  const UINT32 perCore = logical / cores;
  *threadBits = BitWidth(perCore - 1);
  *coreBits = BitWidth(cores - 1);
  return EFI_SUCCESS;
}

EFI_STATUS BuildProcessorTopology() {
  EFI_SMM_BASE2_PROTOCOL *smmBase = nullptr;
  if (BootServices != nullptr &&
      !EFI_ERROR(BootServices->LocateProtocol(&gEfiSmmBase2ProtocolGuid, nullptr,
                                              reinterpret_cast<VOID **>(&smmBase))) &&
      smmBase != nullptr) {
    smmBase->InSmm(smmBase, &TopologyInSmm);
    smmBase->GetSmstLocation(smmBase, &TopologySmmServices);
  }
  if (TopologySmmServices == nullptr) {
    return EFI_NOT_READY;
  }

  VOID *bootInterface = nullptr;
  if (!EFI_ERROR(
          BootServices->LocateProtocol(&PlatformBootInterfaceGuid, nullptr, &bootInterface)) &&
      bootInterface != nullptr) {
    PlatformBootValue = *static_cast<const UINT64 *>(bootInterface);
  }
  if (TopologyInSmm == 1) {
    TopologySmmServices->SmmLocateProtocol(&PlatformSmmInterfaceBGuid, nullptr,
                                           &PlatformSmmInterfaceB);
  }

  UINT64 threadBits = 0;
  UINT64 coreBits = 0;
  GetProcessorTopologyBits(&threadBits, &coreBits);
  MaxCoresPerPackage = Shl32(1, coreBits);
  MaxLogicalPerPackage = Shl32(1, coreBits + threadBits);

  if (EFI_ERROR(TopologySmmServices->SmmLocateProtocol(&gEfiSmmCpuServiceProtocolGuid, nullptr,
                                                       reinterpret_cast<VOID **>(&CpuService)))) {
    CpuService = nullptr;
  }
  ClearTopologyTable();

  const UINTN count = TopologySmmServices->NumberOfCpus;
  GetProcessorTopologyBits(&threadBits, &coreBits);

  ProcessorSlotsValid = 1;
  ProcessorTopologyValid = 1;
  for (UINT32 i = 0; i < kProcessorSlotCount; ++i) {
    ProcessorSlots[i].Valid = 1;
    ProcessorSlots[i].Enabled = 0;
  }
  if (CpuService == nullptr) {
    return EFI_SUCCESS; // no processor can be described; every slot stays disabled
  }
  for (UINTN i = 0; i < count; ++i) {
    RecordProcessor(i, threadBits, coreBits);
  }
  return EFI_SUCCESS;
}
