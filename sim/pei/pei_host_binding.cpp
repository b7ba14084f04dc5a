#include "sim/pei/pei_host_binding.h"

#include "uefi/ppi/ipmi_transport.h"

namespace sim {

namespace {
template <typename T>
uint64_t Address(T *p) {
  return reinterpret_cast<uintptr_t>(p);
}

EFI_STATUS EFIAPI InstallPpiService(const EFI_PEI_SERVICES **s,
                                    const EFI_PEI_PPI_DESCRIPTOR *list) {
  PeiCore &core = PeiCore::FromServices(s);
  core.Called("InstallPpi");
  return core.InstallPpiAt(Address(list));
}

EFI_STATUS EFIAPI LocatePpiService(const EFI_PEI_SERVICES **s, const EFI_GUID *guid, UINTN instance,
                                   EFI_PEI_PPI_DESCRIPTOR **descriptor, VOID **ppi) {
  PeiCore &core = PeiCore::FromServices(s);
  core.Called("LocatePpi", instance);
  return core.LocatePpiAt(Address(guid), instance, Address(descriptor), Address(ppi));
}

EFI_STATUS EFIAPI NotifyPpiService(const EFI_PEI_SERVICES **s,
                                   const EFI_PEI_NOTIFY_DESCRIPTOR *list) {
  PeiCore &core = PeiCore::FromServices(s);
  core.Called("NotifyPpi");
  return core.NotifyPpiAt(Address(list));
}

EFI_STATUS EFIAPI GetBootModeService(const EFI_PEI_SERVICES **s, EFI_BOOT_MODE *mode) {
  return PeiCore::FromServices(s).GetBootModeAt(Address(mode));
}

EFI_STATUS EFIAPI GetHobListService(const EFI_PEI_SERVICES **s, VOID **list) {
  return PeiCore::FromServices(s).GetHobListAt(Address(list));
}

EFI_STATUS EFIAPI CreateHobService(const EFI_PEI_SERVICES **s, UINT16 type, UINT16 length,
                                   VOID **hob) {
  return PeiCore::FromServices(s).CreateHobAt(type, length, Address(hob));
}

EFI_STATUS EFIAPI FfsFindNextFileService(const EFI_PEI_SERVICES **s, EFI_FV_FILETYPE type,
                                         const EFI_PEI_FV_HANDLE volume,
                                         EFI_PEI_FILE_HANDLE *file) {
  return PeiCore::FromServices(s).FfsFindNextFileAt(type, Address(volume), Address(file));
}

EFI_STATUS EFIAPI FfsFindSectionDataService(const EFI_PEI_SERVICES **s, EFI_SECTION_TYPE type,
                                            EFI_PEI_FILE_HANDLE file, VOID **data) {
  return PeiCore::FromServices(s).FfsFindSectionDataAt(type, Address(file), Address(data));
}

VOID EFIAPI SetMemService(VOID *buffer, UINTN size, UINT8 value) {
  PeiCore::Current().SetMemAt(Address(buffer), size, value);
}

VOID EFIAPI CopyMemService(VOID *destination, VOID *source, UINTN length) {
  PeiCore::Current().CopyMemAt(Address(destination), Address(source), length);
}

EFI_STATUS EFIAPI StallService(const EFI_PEI_SERVICES **s, const EFI_PEI_STALL_PPI *,
                               UINTN microseconds) {
  return PeiCore::FromServices(s).StallFor(microseconds);
}

UINT64 EFIAPI PcdGet64(UINTN token) { return PeiCore::Current().PcdGet("PcdGet64", token); }
UINT32 EFIAPI PcdGet32(UINTN token) {
  return static_cast<UINT32>(PeiCore::Current().PcdGet("PcdGet32", token));
}
VOID *EFIAPI PcdGetPtr(UINTN token) {
  return reinterpret_cast<VOID *>(
      static_cast<uintptr_t>(PeiCore::Current().PcdGet("PcdGetPtr", token)));
}

EFI_STATUS EFIAPI IpmiSubmitService(IPMI_TRANSPORT_PPI *, UINT8 netFunction, UINT8 lun,
                                    UINT8 command, UINT8 *request, UINT32 requestSize,
                                    UINT8 *response, UINT8 *responseSize) {
  return PeiCore::Current().IpmiSubmitAt(netFunction, lun, command, Address(request), requestSize,
                                         Address(response), Address(responseSize));
}
} // namespace

uint64_t HostPeiBinding::Allocate(size_t size) {
  blocks_.emplace_back((size + 7) / 8, 0);
  return Address(blocks_.back().data());
}

uint64_t HostPeiBinding::Function(PeiFunction function) {
  switch (function) {
  case PeiFunction::InstallPpi:
    return Address(&InstallPpiService);
  case PeiFunction::LocatePpi:
    return Address(&LocatePpiService);
  case PeiFunction::NotifyPpi:
    return Address(&NotifyPpiService);
  case PeiFunction::GetBootMode:
    return Address(&GetBootModeService);
  case PeiFunction::GetHobList:
    return Address(&GetHobListService);
  case PeiFunction::CreateHob:
    return Address(&CreateHobService);
  case PeiFunction::FfsFindNextFile:
    return Address(&FfsFindNextFileService);
  case PeiFunction::FfsFindSectionData:
    return Address(&FfsFindSectionDataService);
  case PeiFunction::CopyMem:
    return Address(&CopyMemService);
  case PeiFunction::SetMem:
    return Address(&SetMemService);
  case PeiFunction::Stall:
    return Address(&StallService);
  case PeiFunction::PcdGet32:
    return Address(&PcdGet32);
  case PeiFunction::PcdGet64:
    return Address(&PcdGet64);
  case PeiFunction::PcdGetPtr:
    return Address(&PcdGetPtr);
  case PeiFunction::IpmiSubmitCommand:
    return Address(&IpmiSubmitService);
  case PeiFunction::kCount:
    break;
  }
  return 0;
}

void HostPeiBinding::PublishServices(uint64_t services) {
  machine_.cpu.SetPeiServicesSlot(static_cast<uintptr_t>(services));
}

EFI_STATUS HostPeiBinding::CallEntry(uint64_t entry, uint64_t fileHandle, uint64_t services) {
  return reinterpret_cast<EFI_PEIM_ENTRY_POINT2>(static_cast<uintptr_t>(entry))(
      reinterpret_cast<EFI_PEI_FILE_HANDLE>(static_cast<uintptr_t>(fileHandle)),
      reinterpret_cast<const EFI_PEI_SERVICES **>(static_cast<uintptr_t>(services)));
}

EFI_STATUS HostPeiBinding::CallNotify(uint64_t notify, uint64_t services, uint64_t descriptor,
                                      uint64_t ppi) {
  return reinterpret_cast<EFI_PEIM_NOTIFY_ENTRY_POINT>(static_cast<uintptr_t>(notify))(
      reinterpret_cast<const EFI_PEI_SERVICES **>(static_cast<uintptr_t>(services)),
      reinterpret_cast<const EFI_PEI_NOTIFY_DESCRIPTOR *>(static_cast<uintptr_t>(descriptor)),
      reinterpret_cast<VOID *>(static_cast<uintptr_t>(ppi)));
}

} // namespace sim
