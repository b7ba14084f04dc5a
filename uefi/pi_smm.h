// The SMM system table and the SMRAM descriptor of the PI specification, volume 4, for X64.
// Only the services this system calls have full prototypes; the other slots keep their places.
#pragma once

#include "uefi/pi_hob.h"
#include "uefi/uefi_system_table.h"

struct EFI_SMM_SYSTEM_TABLE2;

using EFI_SMM_ALLOCATE_POOL = EFI_STATUS(EFIAPI *)(EFI_MEMORY_TYPE PoolType, UINTN Size,
                                                   VOID **Buffer);
using EFI_SMM_FREE_POOL = EFI_STATUS(EFIAPI *)(VOID *Buffer);
using EFI_SMM_LOCATE_PROTOCOL = EFI_STATUS(EFIAPI *)(const EFI_GUID *Protocol, VOID *Registration,
                                                     VOID **Interface);

constexpr UINT64 SMM_SMST_SIGNATURE = 0x54534D53ull; // "SMST"

// EFI_SMM_CPU_IO2_PROTOCOL: memory and I/O accessors, a read and a write each.
struct EFI_SMM_CPU_IO2_PROTOCOL {
  VOID *MemRead;
  VOID *MemWrite;
  VOID *IoRead;
  VOID *IoWrite;
};

struct EFI_SMM_SYSTEM_TABLE2 {
  EFI_TABLE_HEADER Hdr;
  CHAR16 *SmmFirmwareVendor;
  UINT32 SmmFirmwareRevision;
  VOID *SmmInstallConfigurationTable;
  EFI_SMM_CPU_IO2_PROTOCOL SmmIo;
  EFI_SMM_ALLOCATE_POOL SmmAllocatePool;
  EFI_SMM_FREE_POOL SmmFreePool;
  VOID *SmmAllocatePages;
  VOID *SmmFreePages;
  VOID *SmmStartupThisAp;
  UINTN CurrentlyExecutingCpu;
  UINTN NumberOfCpus;
  UINTN *CpuSaveStateSize;
  VOID **CpuSaveState;
  UINTN NumberOfTableEntries;
  EFI_CONFIGURATION_TABLE *SmmConfigurationTable;
  VOID *SmmInstallProtocolInterface;
  VOID *SmmUninstallProtocolInterface;
  VOID *SmmHandleProtocol;
  VOID *SmmRegisterProtocolNotify;
  VOID *SmmLocateHandle;
  EFI_SMM_LOCATE_PROTOCOL SmmLocateProtocol;
  VOID *SmiManage;
  VOID *SmiHandlerRegister;
  VOID *SmiHandlerUnRegister;
};

// One SMRAM range as EFI_SMM_ACCESS2_PROTOCOL reports it.
struct EFI_SMRAM_DESCRIPTOR {
  EFI_PHYSICAL_ADDRESS PhysicalStart;
  EFI_PHYSICAL_ADDRESS CpuStart;
  UINT64 PhysicalSize;
  UINT64 RegionState;
};

constexpr UINT64 EFI_SMRAM_OPEN = 0x00000001;
constexpr UINT64 EFI_SMRAM_CLOSED = 0x00000002;
constexpr UINT64 EFI_SMRAM_LOCKED = 0x00000004;
constexpr UINT64 EFI_ALLOCATED = 0x00000010;

static_assert(sizeof(EFI_SMRAM_DESCRIPTOR) == 32);
#if defined(__x86_64__)
static_assert(offsetof(EFI_SMM_SYSTEM_TABLE2, SmmAllocatePool) == 0x50);
static_assert(offsetof(EFI_SMM_SYSTEM_TABLE2, SmmFreePool) == 0x58);
static_assert(offsetof(EFI_SMM_SYSTEM_TABLE2, NumberOfCpus) == 0x80);
static_assert(offsetof(EFI_SMM_SYSTEM_TABLE2, SmmLocateProtocol) == 0xD0);
static_assert(sizeof(EFI_SMM_SYSTEM_TABLE2) == 0xF0);
#endif
