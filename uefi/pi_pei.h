// PEI foundation interfaces of the PI specification, volume 1: PPI and notify descriptors, boot
// modes and the PEI services table. Only the services this system calls have full prototypes;
// the rest keep their slots so that every field sits at its published offset.
#pragma once

#include "uefi/uefi_base.h"

struct EFI_PEI_SERVICES;
struct EFI_PEI_NOTIFY_DESCRIPTOR;

using EFI_BOOT_MODE = UINT32;
constexpr EFI_BOOT_MODE BOOT_WITH_FULL_CONFIGURATION = 0x00;
constexpr EFI_BOOT_MODE BOOT_ON_S3_RESUME = 0x11;
constexpr EFI_BOOT_MODE BOOT_IN_RECOVERY_MODE = 0x20;

using EFI_PEI_FILE_HANDLE = VOID *;
using EFI_PEI_FV_HANDLE = VOID *;
using EFI_FV_FILETYPE = UINT8;
using EFI_SECTION_TYPE = UINT8;

constexpr UINTN EFI_PEI_PPI_DESCRIPTOR_PPI = 0x00000010;
constexpr UINTN EFI_PEI_PPI_DESCRIPTOR_NOTIFY_CALLBACK = 0x00000020;
constexpr UINTN EFI_PEI_PPI_DESCRIPTOR_NOTIFY_DISPATCH = 0x00000040;
constexpr UINTN EFI_PEI_PPI_DESCRIPTOR_NOTIFY_TYPES = 0x00000060;
constexpr UINTN EFI_PEI_PPI_DESCRIPTOR_TERMINATE_LIST = 0x80000000;

struct EFI_PEI_PPI_DESCRIPTOR {
  UINTN Flags;
  const EFI_GUID *Guid;
  const VOID *Ppi;
};

using EFI_PEIM_NOTIFY_ENTRY_POINT = EFI_STATUS(EFIAPI *)(const EFI_PEI_SERVICES **PeiServices,
                                                         const EFI_PEI_NOTIFY_DESCRIPTOR *Notify,
                                                         VOID *Ppi);

struct EFI_PEI_NOTIFY_DESCRIPTOR {
  UINTN Flags;
  const EFI_GUID *Guid;
  EFI_PEIM_NOTIFY_ENTRY_POINT Notify;
};

using EFI_PEIM_ENTRY_POINT2 = EFI_STATUS(EFIAPI *)(EFI_PEI_FILE_HANDLE FileHandle,
                                                   const EFI_PEI_SERVICES **PeiServices);

struct EFI_TABLE_HEADER {
  UINT64 Signature;
  UINT32 Revision;
  UINT32 HeaderSize;
  UINT32 CRC32;
  UINT32 Reserved;
};

constexpr UINT64 PEI_SERVICES_SIGNATURE = 0x5652455320494550ull; // "PEI SERV"

using EFI_PEI_INSTALL_PPI = EFI_STATUS(EFIAPI *)(const EFI_PEI_SERVICES **PeiServices,
                                                 const EFI_PEI_PPI_DESCRIPTOR *PpiList);
using EFI_PEI_REINSTALL_PPI = EFI_STATUS(EFIAPI *)(const EFI_PEI_SERVICES **PeiServices,
                                                   const EFI_PEI_PPI_DESCRIPTOR *OldPpi,
                                                   const EFI_PEI_PPI_DESCRIPTOR *NewPpi);
using EFI_PEI_LOCATE_PPI = EFI_STATUS(EFIAPI *)(const EFI_PEI_SERVICES **PeiServices,
                                                const EFI_GUID *Guid, UINTN Instance,
                                                EFI_PEI_PPI_DESCRIPTOR **PpiDescriptor, VOID **Ppi);
using EFI_PEI_NOTIFY_PPI = EFI_STATUS(EFIAPI *)(const EFI_PEI_SERVICES **PeiServices,
                                                const EFI_PEI_NOTIFY_DESCRIPTOR *NotifyList);
using EFI_PEI_GET_BOOT_MODE = EFI_STATUS(EFIAPI *)(const EFI_PEI_SERVICES **PeiServices,
                                                   EFI_BOOT_MODE *BootMode);
using EFI_PEI_SET_BOOT_MODE = EFI_STATUS(EFIAPI *)(const EFI_PEI_SERVICES **PeiServices,
                                                   EFI_BOOT_MODE BootMode);
using EFI_PEI_GET_HOB_LIST = EFI_STATUS(EFIAPI *)(const EFI_PEI_SERVICES **PeiServices,
                                                  VOID **HobList);
using EFI_PEI_CREATE_HOB = EFI_STATUS(EFIAPI *)(const EFI_PEI_SERVICES **PeiServices, UINT16 Type,
                                                UINT16 Length, VOID **Hob);
using EFI_PEI_FFS_FIND_NEXT_VOLUME2 = EFI_STATUS(EFIAPI *)(const EFI_PEI_SERVICES **PeiServices,
                                                           UINTN Instance,
                                                           EFI_PEI_FV_HANDLE *VolumeHandle);
using EFI_PEI_FFS_FIND_NEXT_FILE2 = EFI_STATUS(EFIAPI *)(const EFI_PEI_SERVICES **PeiServices,
                                                         EFI_FV_FILETYPE SearchType,
                                                         const EFI_PEI_FV_HANDLE VolumeHandle,
                                                         EFI_PEI_FILE_HANDLE *FileHandle);
using EFI_PEI_FFS_FIND_SECTION_DATA2 = EFI_STATUS(EFIAPI *)(const EFI_PEI_SERVICES **PeiServices,
                                                            EFI_SECTION_TYPE SectionType,
                                                            EFI_PEI_FILE_HANDLE FileHandle,
                                                            VOID **SectionData);
using EFI_PEI_COPY_MEM = VOID(EFIAPI *)(VOID *Destination, VOID *Source, UINTN Length);
using EFI_PEI_SET_MEM = VOID(EFIAPI *)(VOID *Buffer, UINTN Size, UINT8 Value);

// Slots this system never calls; typed only as opaque pointers.
using EFI_PEI_UNUSED_SERVICE = VOID *;

struct EFI_PEI_SERVICES {
  EFI_TABLE_HEADER Hdr;
  EFI_PEI_INSTALL_PPI InstallPpi;
  EFI_PEI_REINSTALL_PPI ReInstallPpi;
  EFI_PEI_LOCATE_PPI LocatePpi;
  EFI_PEI_NOTIFY_PPI NotifyPpi;
  EFI_PEI_GET_BOOT_MODE GetBootMode;
  EFI_PEI_SET_BOOT_MODE SetBootMode;
  EFI_PEI_GET_HOB_LIST GetHobList;
  EFI_PEI_CREATE_HOB CreateHob;
  EFI_PEI_FFS_FIND_NEXT_VOLUME2 FfsFindNextVolume;
  EFI_PEI_FFS_FIND_NEXT_FILE2 FfsFindNextFile;
  EFI_PEI_FFS_FIND_SECTION_DATA2 FfsFindSectionData;
  EFI_PEI_UNUSED_SERVICE InstallPeiMemory;
  EFI_PEI_UNUSED_SERVICE AllocatePages;
  EFI_PEI_UNUSED_SERVICE AllocatePool;
  EFI_PEI_COPY_MEM CopyMem;
  EFI_PEI_SET_MEM SetMem;
  EFI_PEI_UNUSED_SERVICE ReportStatusCode;
  EFI_PEI_UNUSED_SERVICE ResetSystem;
  EFI_PEI_UNUSED_SERVICE CpuIo;
  EFI_PEI_UNUSED_SERVICE PciCfg;
  EFI_PEI_UNUSED_SERVICE FfsFindFileByName;
  EFI_PEI_UNUSED_SERVICE FfsGetFileInfo;
  EFI_PEI_UNUSED_SERVICE FfsGetVolumeInfo;
  EFI_PEI_UNUSED_SERVICE RegisterForShadow;
  EFI_PEI_UNUSED_SERVICE FindSectionData3;
  EFI_PEI_UNUSED_SERVICE FfsGetFileInfo2;
  EFI_PEI_UNUSED_SERVICE ResetSystem2;
  EFI_PEI_UNUSED_SERVICE FreePages;
};

// PPI published by the PEI core once permanent memory is installed. It carries no interface.
inline constexpr EFI_GUID gEfiPeiPermanentMemoryInstalledPpiGuid = {
    0xF894643D, 0xC449, 0x42D1, {0x8E, 0xA8, 0x85, 0xBD, 0xD8, 0xC6, 0x5B, 0xDE}};
