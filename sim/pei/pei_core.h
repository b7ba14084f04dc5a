// A PEI core for one simulated boot: the PEI services table, the PPI database with callback
// notifications, the boot mode, the HOB list, SetMem through the bus, and the stall and PCD PPIs
// it installs before any module runs.
//
// Notification follows the PI PEI core: installing a PPI runs every registered callback notify
// for its GUID, in registration order; registering a callback notify for a PPI that is already
// installed runs it at once, for each matching PPI in installation order. Callbacks may install
// PPIs and register notifies themselves; each pair of (notify, PPI) runs once. Dispatch-type
// notifies are recorded but never run (no PEIM dispatcher is modelled).
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "sim/core/machine.h"
#include "sim/pi/hob_list.h"
#include "uefi/pi_pei.h"
#include "uefi/ppi/pcd.h"
#include "uefi/ppi/stall.h"

namespace sim {

class PeiCore {
public:
  PeiCore(Machine &machine, uint32_t bootMode, size_t hobCapacity = HobList::kDefaultCapacity);
  ~PeiCore();
  PeiCore(const PeiCore &) = delete;
  PeiCore &operator=(const PeiCore &) = delete;

  const EFI_PEI_SERVICES **Services() { return &block_.table; }

  // Loads a PEIM: restores fresh module globals, publishes the services pointer below the IDT
  // and runs the entry point.
  EFI_STATUS RunPeim(EFI_PEIM_ENTRY_POINT2 entry);

  // The services' semantics, also used by the board to install PPIs of other components.
  EFI_STATUS InstallPpi(const EFI_PEI_PPI_DESCRIPTOR *list);
  EFI_STATUS NotifyPpi(const EFI_PEI_NOTIFY_DESCRIPTOR *list);
  EFI_STATUS LocatePpi(const EFI_GUID *guid, UINTN instance, EFI_PEI_PPI_DESCRIPTOR **descriptor,
                       VOID **ppi);

  HobList &Hobs() { return hobs_; }
  uint32_t BootMode() const { return boot_mode_; }
  void SetPcd(UINTN token, uint64_t value) { pcd_[token] = value; }

  // Faults a test can inject into the services.
  struct Faults {
    bool get_boot_mode = false; // GetBootMode fails with EFI_DEVICE_ERROR
    bool get_hob_list = false;  // GetHobList fails with EFI_NOT_READY
  } faults;

  struct NotifyRun {
    const EFI_PEI_NOTIFY_DESCRIPTOR *descriptor;
    EFI_GUID guid;
    EFI_STATUS status;
  };
  const std::vector<NotifyRun> &NotifyRuns() const { return runs_; }
  const std::vector<const EFI_PEI_PPI_DESCRIPTOR *> &InstalledPpis() const { return ppis_; }
  const std::vector<const EFI_PEI_NOTIFY_DESCRIPTOR *> &Notifies() const { return notifies_; }
  // Calls per service or PPI function name ("InstallPpi", "Stall", "PcdGet64", ...).
  const std::map<std::string, uint64_t> &ServiceCalls() const { return calls_; }
  uint64_t StallUs() const { return stall_us_; }

  static PeiCore &FromServices(const EFI_PEI_SERVICES **services);
  static PeiCore &Current();

private:
  struct ServicesBlock {
    const EFI_PEI_SERVICES *table; // what EFI_PEI_SERVICES ** points at
    PeiCore *core;
  };
  void Called(const char *name, uint64_t arg = 0, uint64_t value = 0);
  void RunNotify(const EFI_PEI_NOTIFY_DESCRIPTOR *notify, const EFI_PEI_PPI_DESCRIPTOR *ppi);

  static EFI_STATUS EFIAPI InstallPpiService(const EFI_PEI_SERVICES **,
                                             const EFI_PEI_PPI_DESCRIPTOR *);
  static EFI_STATUS EFIAPI LocatePpiService(const EFI_PEI_SERVICES **, const EFI_GUID *, UINTN,
                                            EFI_PEI_PPI_DESCRIPTOR **, VOID **);
  static EFI_STATUS EFIAPI NotifyPpiService(const EFI_PEI_SERVICES **,
                                            const EFI_PEI_NOTIFY_DESCRIPTOR *);
  static EFI_STATUS EFIAPI GetBootModeService(const EFI_PEI_SERVICES **, EFI_BOOT_MODE *);
  static EFI_STATUS EFIAPI GetHobListService(const EFI_PEI_SERVICES **, VOID **);
  static EFI_STATUS EFIAPI CreateHobService(const EFI_PEI_SERVICES **, UINT16, UINT16, VOID **);
  static EFI_STATUS EFIAPI FfsFindNextFileService(const EFI_PEI_SERVICES **, EFI_FV_FILETYPE,
                                                  const EFI_PEI_FV_HANDLE, EFI_PEI_FILE_HANDLE *);
  static EFI_STATUS EFIAPI FfsFindSectionDataService(const EFI_PEI_SERVICES **, EFI_SECTION_TYPE,
                                                     EFI_PEI_FILE_HANDLE, VOID **);
  static VOID EFIAPI SetMemService(VOID *, UINTN, UINT8);
  static VOID EFIAPI CopyMemService(VOID *, VOID *, UINTN);
  static EFI_STATUS EFIAPI StallService(const EFI_PEI_SERVICES **, const EFI_PEI_STALL_PPI *,
                                        UINTN);
  static UINT64 EFIAPI PcdGet64(UINTN token);
  static VOID *EFIAPI PcdGetPtr(UINTN token);
  static UINT32 EFIAPI PcdGet32(UINTN token);

  Machine &machine_;
  uint32_t boot_mode_;
  HobList hobs_;
  EFI_PEI_SERVICES table_{};
  ServicesBlock block_{};
  EFI_PEI_STALL_PPI stall_ppi_{};
  PCD_PPI pcd_ppi_{};
  EFI_PEI_PPI_DESCRIPTOR core_ppis_[2]{};
  std::map<UINTN, uint64_t> pcd_;
  std::vector<const EFI_PEI_PPI_DESCRIPTOR *> ppis_;
  std::vector<const EFI_PEI_NOTIFY_DESCRIPTOR *> notifies_;
  std::vector<NotifyRun> runs_;
  std::map<std::string, uint64_t> calls_;
  uint64_t stall_us_ = 0;
};

} // namespace sim
