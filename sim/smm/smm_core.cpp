#include "sim/smm/smm_core.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "sim/core/module_globals.h"

namespace sim {

namespace {
SmmCore *current_core = nullptr;

// The ACPI 2.0 table GUID of the UEFI specification: an entry the HOB-list scan must pass over.
constexpr EFI_GUID kAcpi20TableGuid = {
    0x8868E871, 0xE4F1, 0x11D3, {0xBC, 0x22, 0x00, 0x80, 0xC7, 0x3C, 0x88, 0x81}};
// A second SMRAM range the map reports; nothing is ever placed there.
constexpr uint64_t kReservedSmramBase = 0x7F000000;
constexpr uint64_t kReservedSmramSize = 0x00100000;
} // namespace

SmmCore::SmmCore(Machine &machine) : machine_(machine) {
  if (current_core != nullptr) {
    std::fprintf(stderr, "sim: a second SMM core was created while one is current\n");
    std::abort();
  }
  current_core = this;

  boot_services_.Hdr = {EFI_BOOT_SERVICES_SIGNATURE, (2u << 16) | 70, sizeof(EFI_BOOT_SERVICES), 0,
                        0};
  boot_services_.LocateProtocol = LocateProtocolService;
  boot_services_.FreePool = FreePoolService;
  system_table_.Hdr = {EFI_SYSTEM_TABLE_SIGNATURE, (2u << 16) | 70, sizeof(EFI_SYSTEM_TABLE), 0, 0};
  system_table_.BootServices = &boot_services_;
  system_table_.RuntimeServices = &runtime_services_;
  config_table_.push_back({kAcpi20TableGuid, nullptr});
  system_table_.NumberOfTableEntries = config_table_.size();
  system_table_.ConfigurationTable = config_table_.data();

  smst_.Hdr = {SMM_SMST_SIGNATURE, (1u << 16) | 70, sizeof(EFI_SMM_SYSTEM_TABLE2), 0, 0};
  smst_.SmmAllocatePool = SmmAllocatePoolService;
  smst_.SmmFreePool = SmmFreePoolService;
  smst_.SmmLocateProtocol = SmmLocateProtocolService;
  smst_.NumberOfCpus = 1;

  smm_base2_.InSmm = InSmmService;
  smm_base2_.GetSmstLocation = GetSmstLocationService;
  smm_access2_.protocol.Open = SmramUnsupported;
  smm_access2_.protocol.Close = SmramUnsupported;
  smm_access2_.protocol.Lock = SmramUnsupported;
  smm_access2_.protocol.GetCapabilities = GetCapabilitiesService;
  smm_access2_.protocol.LockState = 1;
  smm_access2_.core = this;

  smram_map_.push_back(
      {pool_.ArenaBase(), pool_.ArenaBase(), pool_.ArenaSize(), EFI_SMRAM_CLOSED | EFI_ALLOCATED});
  smram_map_.push_back(
      {kReservedSmramBase, kReservedSmramBase, kReservedSmramSize, EFI_SMRAM_CLOSED});
}

SmmCore::~SmmCore() {
  if (current_core == this) {
    current_core = nullptr;
  }
}

SmmCore &SmmCore::Current() {
  if (current_core == nullptr) {
    std::fprintf(stderr, "sim: SMM service called with no SMM core\n");
    std::abort();
  }
  return *current_core;
}

EFI_STATUS SmmCore::Load(EFI_IMAGE_ENTRY_POINT entry) {
  RestoreFreshModuleGlobals();
  return entry(ImageHandle(), SystemTable());
}

EFI_STATUS SmmCore::Load(const std::function<EFI_STATUS(EFI_HANDLE, EFI_SYSTEM_TABLE *)> &entry) {
  RestoreFreshModuleGlobals();
  return entry(ImageHandle(), SystemTable());
}

void SmmCore::InstallBootProtocol(const EFI_GUID &guid, VOID *interface) {
  boot_db_.emplace_back(guid, interface);
}

void SmmCore::InstallSmmProtocol(const EFI_GUID &guid, VOID *interface) {
  smm_db_.emplace_back(guid, interface);
}

void SmmCore::SetHobList(VOID *hobList) {
  config_table_.resize(1);
  if (hobList != nullptr) {
    config_table_.push_back({gEfiHobListGuid, hobList});
  }
  system_table_.NumberOfTableEntries = config_table_.size();
  system_table_.ConfigurationTable = config_table_.data();
}

uint64_t SmmCore::LookupCount(const EFI_GUID &guid, bool smm) const {
  uint64_t n = 0;
  for (const Lookup &l : lookups_) {
    n += l.smm == smm && std::memcmp(&l.guid, &guid, sizeof guid) == 0;
  }
  return n;
}

uint64_t SmmCore::Calls(const std::string &name) const {
  auto it = calls_.find(name);
  return it == calls_.end() ? 0 : it->second;
}

void SmmCore::Called(const char *name) {
  ++calls_[name];
  machine_.bus.RecordService(name);
}

EFI_STATUS SmmCore::Locate(std::vector<std::pair<EFI_GUID, VOID *>> &db, bool smm,
                           const EFI_GUID *guid, VOID **interface) {
  if (guid == nullptr || interface == nullptr) {
    return EFI_INVALID_PARAMETER;
  }
  for (const auto &[g, i] : db) {
    if (GuidEquals(&g, guid)) {
      lookups_.push_back({smm, *guid, true});
      *interface = i;
      return EFI_SUCCESS;
    }
  }
  lookups_.push_back({smm, *guid, false});
  *interface = nullptr;
  return EFI_NOT_FOUND;
}

EFI_STATUS EFIAPI SmmCore::LocateProtocolService(const EFI_GUID *guid, VOID *, VOID **interface) {
  SmmCore &core = Current();
  core.Called("LocateProtocol");
  return core.Locate(core.boot_db_, false, guid, interface);
}

EFI_STATUS EFIAPI SmmCore::FreePoolService(VOID *) {
  SmmCore &core = Current();
  core.Called("FreePool");
  ++core.boot_frees_;
  return EFI_INVALID_PARAMETER;
}

EFI_STATUS EFIAPI SmmCore::SmmLocateProtocolService(const EFI_GUID *guid, VOID *,
                                                    VOID **interface) {
  SmmCore &core = Current();
  core.Called("SmmLocateProtocol");
  if (guid != nullptr && core.before_smm_locate) {
    core.before_smm_locate(*guid, core.LookupCount(*guid, true) + 1);
  }
  return core.Locate(core.smm_db_, true, guid, interface);
}

EFI_STATUS EFIAPI SmmCore::SmmAllocatePoolService(EFI_MEMORY_TYPE type, UINTN size, VOID **buffer) {
  SmmCore &core = Current();
  core.Called("SmmAllocatePool");
  return core.pool_.Allocate(type, size, buffer);
}

EFI_STATUS EFIAPI SmmCore::SmmFreePoolService(VOID *buffer) {
  SmmCore &core = Current();
  core.Called("SmmFreePool");
  return core.pool_.Free(buffer);
}

EFI_STATUS EFIAPI SmmCore::InSmmService(const EFI_SMM_BASE2_PROTOCOL *, BOOLEAN *inSmram) {
  SmmCore &core = Current();
  core.Called("InSmm");
  if (inSmram == nullptr) {
    return EFI_INVALID_PARAMETER;
  }
  *inSmram = core.in_smm ? 1 : 0;
  return EFI_SUCCESS;
}

EFI_STATUS EFIAPI SmmCore::GetSmstLocationService(const EFI_SMM_BASE2_PROTOCOL *,
                                                  EFI_SMM_SYSTEM_TABLE2 **smst) {
  SmmCore &core = Current();
  core.Called("GetSmstLocation");
  if (smst == nullptr) {
    return EFI_INVALID_PARAMETER;
  }
  *smst = &core.smst_;
  return EFI_SUCCESS;
}

EFI_STATUS EFIAPI SmmCore::GetCapabilitiesService(const EFI_SMM_ACCESS2_PROTOCOL *self, UINTN *size,
                                                  EFI_SMRAM_DESCRIPTOR *map) {
  SmmCore &core = *reinterpret_cast<const Access2Block *>(self)->core;
  core.Called("GetCapabilities");
  if (size == nullptr) {
    return EFI_INVALID_PARAMETER;
  }
  const UINTN needed = core.smram_map_.size() * sizeof(EFI_SMRAM_DESCRIPTOR);
  if (*size < needed) {
    *size = needed;
    return EFI_BUFFER_TOO_SMALL;
  }
  if (map == nullptr) {
    return EFI_INVALID_PARAMETER;
  }
  std::memcpy(map, core.smram_map_.data(), needed);
  *size = needed;
  return EFI_SUCCESS;
}

EFI_STATUS EFIAPI SmmCore::SmramUnsupported(EFI_SMM_ACCESS2_PROTOCOL *) { return EFI_UNSUPPORTED; }

} // namespace sim
