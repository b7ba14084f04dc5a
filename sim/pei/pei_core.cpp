#include "sim/pei/pei_core.h"

#include <cstring>

#include "sim/core/module_globals.h"
#include "sim/pi/ffs.h"

namespace sim {

namespace {
PeiCore *current_core = nullptr;

constexpr EFI_STATUS kHobListUnavailable = EFI_NOT_READY;

bool IsLast(UINTN flags) { return (flags & EFI_PEI_PPI_DESCRIPTOR_TERMINATE_LIST) != 0; }

// Descriptor lists are bounded so that a list missing its terminate flag fails instead of
// running through memory; no real list comes near this length.
constexpr size_t kMaxListEntries = 256;
} // namespace

PeiCore::PeiCore(Machine &machine, uint32_t bootMode, size_t hobCapacity)
    : machine_(machine), boot_mode_(bootMode), hobs_(bootMode, hobCapacity) {
  table_.Hdr = {PEI_SERVICES_SIGNATURE, (1u << 16) | 70, sizeof(EFI_PEI_SERVICES), 0, 0};
  table_.InstallPpi = InstallPpiService;
  table_.LocatePpi = LocatePpiService;
  table_.NotifyPpi = NotifyPpiService;
  table_.GetBootMode = GetBootModeService;
  table_.GetHobList = GetHobListService;
  table_.CreateHob = CreateHobService;
  table_.FfsFindNextFile = FfsFindNextFileService;
  table_.FfsFindSectionData = FfsFindSectionDataService;
  table_.CopyMem = CopyMemService;
  table_.SetMem = SetMemService;
  block_ = {&table_, this};
  current_core = this;

  stall_ppi_ = {1, StallService};
  pcd_ppi_.Get32 = PcdGet32;
  pcd_ppi_.Get64 = PcdGet64;
  pcd_ppi_.GetPtr = PcdGetPtr;
  core_ppis_[0] = {EFI_PEI_PPI_DESCRIPTOR_PPI, &gEfiPeiStallPpiGuid, &stall_ppi_};
  core_ppis_[1] = {EFI_PEI_PPI_DESCRIPTOR_PPI | EFI_PEI_PPI_DESCRIPTOR_TERMINATE_LIST, &gPcdPpiGuid,
                   &pcd_ppi_};
  InstallPpi(core_ppis_);
  calls_.clear();
}

PeiCore::~PeiCore() {
  if (current_core == this) {
    current_core = nullptr;
  }
}

PeiCore &PeiCore::FromServices(const EFI_PEI_SERVICES **services) {
  return *reinterpret_cast<const ServicesBlock *>(services)->core;
}

PeiCore &PeiCore::Current() { return *current_core; }

void PeiCore::Called(const char *name, uint64_t arg, uint64_t value) {
  ++calls_[name];
  machine_.bus.RecordService(name, arg, value);
}

EFI_STATUS PeiCore::RunPeim(EFI_PEIM_ENTRY_POINT2 entry) {
  RestoreFreshModuleGlobals();
  machine_.cpu.SetPeiServicesSlot(reinterpret_cast<uintptr_t>(Services()));
  static int file_handle_token; // stands for the PEIM's FFS file
  return entry(&file_handle_token, Services());
}

void PeiCore::RunNotify(const EFI_PEI_NOTIFY_DESCRIPTOR *notify,
                        const EFI_PEI_PPI_DESCRIPTOR *ppi) {
  const size_t slot = runs_.size();
  runs_.push_back({notify, *notify->Guid, EFI_SUCCESS});
  const EFI_STATUS status = notify->Notify(Services(), notify, const_cast<VOID *>(ppi->Ppi));
  runs_[slot].status = status;
}

EFI_STATUS PeiCore::InstallPpi(const EFI_PEI_PPI_DESCRIPTOR *list) {
  if (list == nullptr) {
    return EFI_INVALID_PARAMETER;
  }
  size_t count = 0;
  for (;; ++count) {
    if (count == kMaxListEntries || (list[count].Flags & EFI_PEI_PPI_DESCRIPTOR_PPI) == 0 ||
        list[count].Guid == nullptr) {
      return EFI_INVALID_PARAMETER;
    }
    if (IsLast(list[count].Flags)) {
      ++count;
      break;
    }
  }
  const size_t first = ppis_.size();
  for (size_t i = 0; i < count; ++i) {
    ppis_.push_back(&list[i]);
  }
  const size_t last = ppis_.size();
  // Only the notifies registered before this install; later ones saw these PPIs when they
  // were registered.
  const size_t notifyCount = notifies_.size();
  for (size_t n = 0; n < notifyCount; ++n) {
    const EFI_PEI_NOTIFY_DESCRIPTOR *notify = notifies_[n];
    if ((notify->Flags & EFI_PEI_PPI_DESCRIPTOR_NOTIFY_CALLBACK) == 0) {
      continue;
    }
    for (size_t p = first; p < last; ++p) {
      if (GuidEquals(notify->Guid, ppis_[p]->Guid)) {
        RunNotify(notify, ppis_[p]);
      }
    }
  }
  return EFI_SUCCESS;
}

EFI_STATUS PeiCore::NotifyPpi(const EFI_PEI_NOTIFY_DESCRIPTOR *list) {
  if (list == nullptr) {
    return EFI_INVALID_PARAMETER;
  }
  size_t count = 0;
  for (;; ++count) {
    if (count == kMaxListEntries ||
        (list[count].Flags & EFI_PEI_PPI_DESCRIPTOR_NOTIFY_TYPES) == 0 ||
        list[count].Guid == nullptr || list[count].Notify == nullptr) {
      return EFI_INVALID_PARAMETER;
    }
    if (IsLast(list[count].Flags)) {
      ++count;
      break;
    }
  }
  const size_t first = notifies_.size();
  for (size_t i = 0; i < count; ++i) {
    notifies_.push_back(&list[i]);
  }
  const size_t ppiCount = ppis_.size();
  for (size_t n = first; n < first + count; ++n) {
    const EFI_PEI_NOTIFY_DESCRIPTOR *notify = notifies_[n];
    if ((notify->Flags & EFI_PEI_PPI_DESCRIPTOR_NOTIFY_CALLBACK) == 0) {
      continue;
    }
    for (size_t p = 0; p < ppiCount; ++p) {
      if (GuidEquals(notify->Guid, ppis_[p]->Guid)) {
        RunNotify(notify, ppis_[p]);
      }
    }
  }
  return EFI_SUCCESS;
}

EFI_STATUS PeiCore::LocatePpi(const EFI_GUID *guid, UINTN instance,
                              EFI_PEI_PPI_DESCRIPTOR **descriptor, VOID **ppi) {
  if (guid == nullptr || ppi == nullptr) {
    return EFI_INVALID_PARAMETER;
  }
  for (const EFI_PEI_PPI_DESCRIPTOR *d : ppis_) {
    if (GuidEquals(d->Guid, guid) && instance-- == 0) {
      if (descriptor != nullptr) {
        *descriptor = const_cast<EFI_PEI_PPI_DESCRIPTOR *>(d);
      }
      *ppi = const_cast<VOID *>(d->Ppi);
      return EFI_SUCCESS;
    }
  }
  return EFI_NOT_FOUND;
}

EFI_STATUS EFIAPI PeiCore::InstallPpiService(const EFI_PEI_SERVICES **s,
                                             const EFI_PEI_PPI_DESCRIPTOR *list) {
  PeiCore &core = FromServices(s);
  core.Called("InstallPpi");
  return core.InstallPpi(list);
}

EFI_STATUS EFIAPI PeiCore::LocatePpiService(const EFI_PEI_SERVICES **s, const EFI_GUID *guid,
                                            UINTN instance, EFI_PEI_PPI_DESCRIPTOR **descriptor,
                                            VOID **ppi) {
  PeiCore &core = FromServices(s);
  core.Called("LocatePpi", instance);
  return core.LocatePpi(guid, instance, descriptor, ppi);
}

EFI_STATUS EFIAPI PeiCore::NotifyPpiService(const EFI_PEI_SERVICES **s,
                                            const EFI_PEI_NOTIFY_DESCRIPTOR *list) {
  PeiCore &core = FromServices(s);
  core.Called("NotifyPpi");
  return core.NotifyPpi(list);
}

EFI_STATUS EFIAPI PeiCore::GetBootModeService(const EFI_PEI_SERVICES **s, EFI_BOOT_MODE *mode) {
  PeiCore &core = FromServices(s);
  core.Called("GetBootMode", 0, core.boot_mode_);
  if (mode == nullptr) {
    return EFI_INVALID_PARAMETER;
  }
  if (core.faults.get_boot_mode) {
    return EFI_DEVICE_ERROR;
  }
  *mode = core.boot_mode_;
  return EFI_SUCCESS;
}

EFI_STATUS EFIAPI PeiCore::GetHobListService(const EFI_PEI_SERVICES **s, VOID **list) {
  PeiCore &core = FromServices(s);
  core.Called("GetHobList");
  if (list == nullptr) {
    return EFI_INVALID_PARAMETER;
  }
  if (core.faults.get_hob_list) {
    return kHobListUnavailable;
  }
  *list = core.hobs_.Head();
  return EFI_SUCCESS;
}

EFI_STATUS EFIAPI PeiCore::CreateHobService(const EFI_PEI_SERVICES **s, UINT16 type, UINT16 length,
                                            VOID **hob) {
  PeiCore &core = FromServices(s);
  core.Called("CreateHob", type, length);
  return core.hobs_.Create(type, length, hob);
}

EFI_STATUS EFIAPI PeiCore::FfsFindNextFileService(const EFI_PEI_SERVICES **s, EFI_FV_FILETYPE type,
                                                  const EFI_PEI_FV_HANDLE volume,
                                                  EFI_PEI_FILE_HANDLE *file) {
  PeiCore &core = FromServices(s);
  core.Called("FfsFindNextFile", reinterpret_cast<uintptr_t>(volume));
  if (file == nullptr) {
    return EFI_INVALID_PARAMETER;
  }
  uint64_t handle = reinterpret_cast<uintptr_t>(*file);
  const EFI_STATUS status =
      sim::FfsFindNextFile(core.machine_.bus, type, reinterpret_cast<uintptr_t>(volume), &handle);
  if (!EFI_ERROR(status)) {
    *file = reinterpret_cast<EFI_PEI_FILE_HANDLE>(static_cast<uintptr_t>(handle));
  }
  return status;
}

EFI_STATUS EFIAPI PeiCore::FfsFindSectionDataService(const EFI_PEI_SERVICES **s,
                                                     EFI_SECTION_TYPE type,
                                                     EFI_PEI_FILE_HANDLE file, VOID **data) {
  PeiCore &core = FromServices(s);
  core.Called("FfsFindSectionData", reinterpret_cast<uintptr_t>(file));
  if (data == nullptr) {
    return EFI_INVALID_PARAMETER;
  }
  uint64_t address = 0;
  const EFI_STATUS status =
      sim::FfsFindSectionData(core.machine_.bus, type, reinterpret_cast<uintptr_t>(file), &address);
  if (!EFI_ERROR(status)) {
    *data = reinterpret_cast<VOID *>(static_cast<uintptr_t>(address));
  }
  return status;
}

// Addresses below 4 GiB are the board's physical space and reach device memory through the bus,
// in aligned 32-bit stores with byte stores only at the unaligned ends, as a core's SetMem on
// IA32 fills memory; anything above is host memory the core owns (HOBs, stacks), which the
// simulated 32-bit board cannot address and so never aliases.
VOID EFIAPI PeiCore::SetMemService(VOID *buffer, UINTN size, UINT8 value) {
  PeiCore &core = Current();
  const uintptr_t address = reinterpret_cast<uintptr_t>(buffer);
  core.Called("SetMem", address, size);
  if (address >= Bus::kMemorySpaceSize || size > Bus::kMemorySpaceSize - address) {
    std::memset(buffer, value, size);
    return;
  }
  Bus &bus = core.machine_.bus;
  const uint64_t dword = 0x01010101ull * value;
  uint64_t at = address;
  const uint64_t end = address + size;
  while (at < end && (at & 3) != 0) {
    bus.Write(Space::Memory, at++, 1, value);
  }
  for (; end - at >= 4; at += 4) {
    bus.Write(Space::Memory, at, 4, dword);
  }
  while (at < end) {
    bus.Write(Space::Memory, at++, 1, value);
  }
}

VOID EFIAPI PeiCore::CopyMemService(VOID *destination, VOID *source, UINTN length) {
  Current().Called("CopyMem", reinterpret_cast<uintptr_t>(destination), length);
  std::memmove(destination, source, length);
}

EFI_STATUS EFIAPI PeiCore::StallService(const EFI_PEI_SERVICES **s, const EFI_PEI_STALL_PPI *,
                                        UINTN microseconds) {
  PeiCore &core = FromServices(s);
  core.Called("Stall", microseconds);
  core.stall_us_ += microseconds;
  core.machine_.clock.Advance(static_cast<uint64_t>(microseconds) * 1000);
  return EFI_SUCCESS;
}

UINT64 EFIAPI PeiCore::PcdGet64(UINTN token) {
  PeiCore &core = Current();
  auto it = core.pcd_.find(token);
  const uint64_t value = it == core.pcd_.end() ? 0 : it->second;
  core.Called("PcdGet64", token, value);
  return value;
}

UINT32 EFIAPI PeiCore::PcdGet32(UINTN token) {
  PeiCore &core = Current();
  auto it = core.pcd_.find(token);
  const uint64_t value = it == core.pcd_.end() ? 0 : it->second;
  core.Called("PcdGet32", token, value);
  return static_cast<UINT32>(value);
}

VOID *EFIAPI PeiCore::PcdGetPtr(UINTN token) {
  PeiCore &core = Current();
  auto it = core.pcd_.find(token);
  const uint64_t value = it == core.pcd_.end() ? 0 : it->second;
  core.Called("PcdGetPtr", token, value);
  return reinterpret_cast<VOID *>(static_cast<uintptr_t>(value));
}

} // namespace sim
