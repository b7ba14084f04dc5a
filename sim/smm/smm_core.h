// An SMM core for one simulated driver load: the UEFI system table with the boot services a
// driver calls before it is in SMM (LocateProtocol, FreePool) and a configuration table; the
// boot and SMM protocol databases; EFI_SMM_BASE2_PROTOCOL and EFI_SMM_ACCESS2_PROTOCOL; and the
// SMM system table with pool from an arena it reports as SMRAM. Every call is counted, every
// protocol lookup recorded.
//
// Lookups follow the UEFI rules: a null GUID or result pointer is EFI_INVALID_PARAMETER; an
// absent protocol sets the result to null and returns EFI_NOT_FOUND; the first interface
// installed for a GUID is found.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "sim/core/machine.h"
#include "sim/smm/smram_pool.h"
#include "uefi/pi_smm.h"
#include "uefi/protocol/smm_access2.h"
#include "uefi/protocol/smm_base2.h"

namespace sim {

class SmmCore {
public:
  explicit SmmCore(Machine &machine);
  ~SmmCore();
  SmmCore(const SmmCore &) = delete;
  SmmCore &operator=(const SmmCore &) = delete;

  // Loads a driver: restores fresh module globals and calls its entry point.
  EFI_STATUS Load(EFI_IMAGE_ENTRY_POINT entry);
  // The same for an entry point reached another way (an image on an emulated processor).
  EFI_STATUS Load(const std::function<EFI_STATUS(EFI_HANDLE, EFI_SYSTEM_TABLE *)> &entry);

  EFI_SYSTEM_TABLE *SystemTable() { return &system_table_; }
  EFI_SMM_SYSTEM_TABLE2 *Smst() { return &smst_; }
  EFI_HANDLE ImageHandle() { return &image_handle_token_; }

  void InstallBootProtocol(const EFI_GUID &guid, VOID *interface);
  void InstallSmmProtocol(const EFI_GUID &guid, VOID *interface);
  // The base and access protocols the core itself provides, for installing in the database.
  EFI_SMM_BASE2_PROTOCOL *SmmBase2() { return &smm_base2_; }
  EFI_SMM_ACCESS2_PROTOCOL *SmmAccess2() { return &smm_access2_.protocol; }

  // Puts the HOB list in the configuration table (after another entry), or takes it out.
  void SetHobList(VOID *hobList);
  void SetNumberOfCpus(UINTN count) { smst_.NumberOfCpus = count; }

  SmramPool &Pool() { return pool_; }
  const SmramPool &Pool() const { return pool_; }
  // The SMRAM map GetCapabilities reports: the pool arena and a second, never-used range.
  const std::vector<EFI_SMRAM_DESCRIPTOR> &SmramMap() const { return smram_map_; }

  struct Lookup {
    bool smm; // SmmLocateProtocol rather than LocateProtocol
    EFI_GUID guid;
    bool found;
  };
  const std::vector<Lookup> &Lookups() const { return lookups_; }
  uint64_t LookupCount(const EFI_GUID &guid, bool smm) const;
  // Calls by service name ("LocateProtocol", "SmmLocateProtocol", "SmmAllocatePool", ...).
  uint64_t Calls(const std::string &name) const;
  const std::map<std::string, uint64_t> &AllCalls() const { return calls_; }
  // Boot-services FreePool calls: the boot pool hands nothing out here, so each is a bad free.
  uint64_t BootPoolFrees() const { return boot_frees_; }

  // Runs before each SmmLocateProtocol with the GUID and the attempt number for it (1-based),
  // so a board can make an interface appear later in the load.
  std::function<void(const EFI_GUID &, uint64_t attempt)> before_smm_locate;
  bool in_smm = true; // what InSmm answers

  static SmmCore &Current();

private:
  struct Access2Block {
    EFI_SMM_ACCESS2_PROTOCOL protocol;
    SmmCore *core;
  };
  void Called(const char *name);
  EFI_STATUS Locate(std::vector<std::pair<EFI_GUID, VOID *>> &db, bool smm, const EFI_GUID *guid,
                    VOID **interface);

  static EFI_STATUS EFIAPI LocateProtocolService(const EFI_GUID *, VOID *, VOID **);
  static EFI_STATUS EFIAPI FreePoolService(VOID *);
  static EFI_STATUS EFIAPI SmmLocateProtocolService(const EFI_GUID *, VOID *, VOID **);
  static EFI_STATUS EFIAPI SmmAllocatePoolService(EFI_MEMORY_TYPE, UINTN, VOID **);
  static EFI_STATUS EFIAPI SmmFreePoolService(VOID *);
  static EFI_STATUS EFIAPI InSmmService(const EFI_SMM_BASE2_PROTOCOL *, BOOLEAN *);
  static EFI_STATUS EFIAPI GetSmstLocationService(const EFI_SMM_BASE2_PROTOCOL *,
                                                  EFI_SMM_SYSTEM_TABLE2 **);
  static EFI_STATUS EFIAPI GetCapabilitiesService(const EFI_SMM_ACCESS2_PROTOCOL *, UINTN *,
                                                  EFI_SMRAM_DESCRIPTOR *);
  static EFI_STATUS EFIAPI SmramUnsupported(EFI_SMM_ACCESS2_PROTOCOL *);

  Machine &machine_;
  EFI_SYSTEM_TABLE system_table_{};
  EFI_BOOT_SERVICES boot_services_{};
  EFI_RUNTIME_SERVICES runtime_services_{};
  EFI_SMM_SYSTEM_TABLE2 smst_{};
  EFI_SMM_BASE2_PROTOCOL smm_base2_{};
  Access2Block smm_access2_{};
  std::vector<EFI_CONFIGURATION_TABLE> config_table_;
  std::vector<std::pair<EFI_GUID, VOID *>> boot_db_;
  std::vector<std::pair<EFI_GUID, VOID *>> smm_db_;
  std::vector<EFI_SMRAM_DESCRIPTOR> smram_map_;
  SmramPool pool_;
  std::vector<Lookup> lookups_;
  std::map<std::string, uint64_t> calls_;
  uint64_t boot_frees_ = 0;
  int image_handle_token_ = 0;
};

} // namespace sim
