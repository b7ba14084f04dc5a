// EFI_SMM_CPU_SERVICE_PROTOCOL: processor information inside SMM, with the processor record of
// the PI multi-processor services (volume 2).
#pragma once

#include "uefi/uefi_base.h"

inline constexpr EFI_GUID gEfiSmmCpuServiceProtocolGuid = {
    0x1D202CAB, 0xC8AB, 0x4D5C, {0x94, 0xF7, 0x3C, 0xFC, 0xC0, 0xD3, 0xD3, 0x35}};

constexpr UINT32 PROCESSOR_AS_BSP_BIT = 0x00000001;
constexpr UINT32 PROCESSOR_ENABLED_BIT = 0x00000002;
constexpr UINT32 PROCESSOR_HEALTH_STATUS_BIT = 0x00000004;

struct EFI_CPU_PHYSICAL_LOCATION {
  UINT32 Package;
  UINT32 Core;
  UINT32 Thread;
};

struct EFI_CPU_PHYSICAL_LOCATION2 {
  UINT32 Package;
  UINT32 Die;
  UINT32 Tile;
  UINT32 Module;
  UINT32 Core;
  UINT32 Thread;
};

struct EFI_PROCESSOR_INFORMATION {
  UINT64 ProcessorId; // the APIC ID
  UINT32 StatusFlag;
  EFI_CPU_PHYSICAL_LOCATION Location;
  EFI_CPU_PHYSICAL_LOCATION2 ExtendedInformation; // later PI revisions; callers reserve it
};
static_assert(sizeof(EFI_PROCESSOR_INFORMATION) == 48);

struct EFI_SMM_CPU_SERVICE_PROTOCOL;

using EFI_SMM_GET_PROCESSOR_INFO =
    EFI_STATUS(EFIAPI *)(const EFI_SMM_CPU_SERVICE_PROTOCOL *This, UINTN ProcessorNumber,
                         EFI_PROCESSOR_INFORMATION *ProcessorInfoBuffer);

struct EFI_SMM_CPU_SERVICE_PROTOCOL {
  EFI_SMM_GET_PROCESSOR_INFO GetProcessorInfo;
  VOID *SwitchBsp;
  VOID *AddProcessor;
  VOID *RemoveProcessor;
  VOID *WhoAmI;
  VOID *RegisterExceptionHandler;
};
