// A PEI core for one simulated boot: the PEI services table, the PPI database with callback
// notifications, the boot mode, the HOB list, SetMem through the bus, and the stall and PCD PPIs
// it installs before any module runs.
//
// Notification follows the PI PEI core: installing a PPI runs every registered callback notify
// for its GUID, in registration order; registering a callback notify for a PPI that is already
// installed runs it at once, for each matching PPI in installation order. Callbacks may install
// PPIs and register notifies themselves; each pair of (notify, PPI) runs once. Dispatch-type
// notifies are recorded but never run (no PEIM dispatcher is modelled).
//
// CreateHob follows it too: a HOB's length is rounded up to a multiple of 8, and its body is
// not cleared. Free HOB memory starts filled with kHobMemoryFill, so a byte the module leaves
// unwritten shows.
//
// The core works on the module's addresses through a PeiCoreBinding: its tables, the descriptors
// it is given and the HOB list are guest memory of the binding's pointer width, and its calls into
// the module (entry point, notify callbacks) go through the binding. The default binding is the
// host build's: the module runs in this process and calls the services as host functions.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "sim/core/guest_memory.h"
#include "sim/core/machine.h"
#include "sim/pi/hob_list.h"
#include "uefi/pi_pei.h"
#include "uefi/ppi/pcd.h"
#include "uefi/ppi/stall.h"

namespace sim {

class PeiCore;

// Functions the core's tables point at.
enum class PeiFunction {
  InstallPpi,
  LocatePpi,
  NotifyPpi,
  GetBootMode,
  GetHobList,
  CreateHob,
  FfsFindNextFile,
  FfsFindSectionData,
  CopyMem,
  SetMem,
  Stall,
  PcdGet32,
  PcdGet64,
  PcdGetPtr,
  IpmiSubmitCommand,
  kCount
};

class PeiCoreBinding {
public:
  virtual ~PeiCoreBinding() = default;
  virtual GuestMemory &Memory() = 0;
  // Zeroed memory of the core's own (tables, descriptors, PPIs), pointer-aligned, for the boot.
  virtual uint64_t Allocate(size_t size) = 0;
  // What a table entry for `function` holds.
  virtual uint64_t Function(PeiFunction function) = 0;
  // HOB memory of `capacity` bytes: host bytes and the address the module sees them at, or
  // {nullptr, 0} for a list in host memory of its own.
  struct HobMemory {
    uint8_t *bytes;
    uint64_t address;
  };
  virtual HobMemory HobArea(size_t capacity) = 0;
  // Makes `services` the pointer the processor finds below its IDT base.
  virtual void PublishServices(uint64_t services) = 0;
  virtual EFI_STATUS CallEntry(uint64_t entry, uint64_t fileHandle, uint64_t services) = 0;
  virtual EFI_STATUS CallNotify(uint64_t notify, uint64_t services, uint64_t descriptor,
                                uint64_t ppi) = 0;
  // What the services block holds after the table pointer (the host build's way back to the
  // core from a services pointer).
  virtual uint64_t CoreCookie(PeiCore &) { return 0; }
};

// An IPMI request as the transport PPI receives it.
struct IpmiRequest {
  uint8_t net_function, lun, command;
  std::vector<uint8_t> data;
  uint32_t response_capacity; // what *ResponseDataSize held on entry
};
struct IpmiResponse {
  EFI_STATUS status = EFI_NOT_READY;
  std::vector<uint8_t> data;
};

class PeiCore {
public:
  // What free HOB memory holds until a HOB is created over it.
  static constexpr uint8_t kHobMemoryFill = 0xAF;

  // A core for a host build of the module.
  PeiCore(Machine &machine, uint32_t bootMode, size_t hobCapacity = HobList::kDefaultCapacity);
  // A core for a module reached through `binding`, which must outlive the core; null: the host
  // build's binding.
  PeiCore(Machine &machine, uint32_t bootMode, size_t hobCapacity, PeiCoreBinding *binding);
  ~PeiCore();
  PeiCore(const PeiCore &) = delete;
  PeiCore &operator=(const PeiCore &) = delete;

  // The services pointer as the module receives it (host builds: a usable host pointer).
  uint64_t ServicesAddress() const { return services_; }
  const EFI_PEI_SERVICES **Services() {
    return reinterpret_cast<const EFI_PEI_SERVICES **>(static_cast<uintptr_t>(services_));
  }
  GuestMemory &Memory() { return binding_->Memory(); }
  PeiCoreBinding &Binding() { return *binding_; }

  // Loads a PEIM: restores fresh module globals, publishes the services pointer below the IDT
  // and runs the entry point.
  EFI_STATUS RunPeim(EFI_PEIM_ENTRY_POINT2 entry);
  EFI_STATUS RunPeimAt(uint64_t entry, uint64_t fileHandle);

  // The services' semantics on module addresses; the table entries of both bindings land here.
  EFI_STATUS InstallPpiAt(uint64_t list);
  EFI_STATUS NotifyPpiAt(uint64_t list);
  EFI_STATUS LocatePpiAt(uint64_t guid, uint64_t instance, uint64_t descriptorOut, uint64_t ppiOut);
  EFI_STATUS GetBootModeAt(uint64_t modeOut);
  EFI_STATUS GetHobListAt(uint64_t listOut);
  EFI_STATUS CreateHobAt(uint16_t type, uint16_t length, uint64_t hobOut);
  EFI_STATUS FfsFindNextFileAt(uint8_t type, uint64_t volume, uint64_t fileInOut);
  EFI_STATUS FfsFindSectionDataAt(uint8_t type, uint64_t file, uint64_t dataOut);
  void SetMemAt(uint64_t buffer, uint64_t size, uint8_t value);
  void CopyMemAt(uint64_t destination, uint64_t source, uint64_t length);
  EFI_STATUS StallFor(uint64_t microseconds);
  uint64_t PcdGet(const char *service, uint64_t token);
  EFI_STATUS IpmiSubmitAt(uint8_t netFunction, uint8_t lun, uint8_t command, uint64_t request,
                          uint32_t requestSize, uint64_t response, uint64_t responseSizeInOut);

  // Host-pointer forms of the same, for the board and tests of host builds.
  EFI_STATUS InstallPpi(const EFI_PEI_PPI_DESCRIPTOR *list) { return InstallPpiAt(Address(list)); }
  EFI_STATUS NotifyPpi(const EFI_PEI_NOTIFY_DESCRIPTOR *list) { return NotifyPpiAt(Address(list)); }
  EFI_STATUS LocatePpi(const EFI_GUID *guid, UINTN instance, EFI_PEI_PPI_DESCRIPTOR **descriptor,
                       VOID **ppi) {
    return LocatePpiAt(Address(guid), instance, Address(descriptor), Address(ppi));
  }

  // Guest-memory helpers for whoever lays out structures the module reads.
  uint64_t PlaceGuid(const EFI_GUID &guid);
  // A one-entry PPI descriptor list (terminated) for `guid` and `ppi`.
  uint64_t PlacePpiDescriptor(const EFI_GUID &guid, uint64_t ppi);
  // An IPMI_TRANSPORT_PPI whose submit function is the core's.
  uint64_t PlaceIpmiTransportPpi();

  HobList &Hobs() { return hobs_; }
  const HobList &Hobs() const { return hobs_; }
  uint32_t BootMode() const { return boot_mode_; }
  void SetPcd(UINTN token, uint64_t value) { pcd_[token] = value; }
  // Answers IPMI requests; unset, every request fails with EFI_NOT_READY.
  std::function<IpmiResponse(const IpmiRequest &)> ipmi;

  // Faults a test can inject into the services.
  struct Faults {
    bool get_boot_mode = false; // GetBootMode fails with EFI_DEVICE_ERROR
    bool get_hob_list = false;  // GetHobList fails with EFI_NOT_READY
  } faults;

  struct NotifyRun {
    uint64_t address; // of the notify descriptor
    EFI_GUID guid;
    EFI_STATUS status;
    EFI_PEIM_NOTIFY_ENTRY_POINT notify; // the callback (host builds: callable)
    uint64_t notify_address;
  };
  const std::vector<NotifyRun> &NotifyRuns() const { return runs_; }
  // Descriptors in installation and registration order (host builds: usable host pointers).
  std::vector<const EFI_PEI_PPI_DESCRIPTOR *> InstalledPpis() const;
  std::vector<const EFI_PEI_NOTIFY_DESCRIPTOR *> Notifies() const;
  size_t InstalledPpiCount() const { return ppis_.size(); }
  // Calls per service or PPI function name ("InstallPpi", "Stall", "PcdGet64", ...).
  const std::map<std::string, uint64_t> &ServiceCalls() const { return calls_; }
  uint64_t StallUs() const { return stall_us_; }

  static PeiCore &FromServices(const EFI_PEI_SERVICES **services);
  static PeiCore &Current();

  // Counts a service call and traces it; the bindings call it for each table entry they serve.
  void Called(const char *name, uint64_t arg = 0, uint64_t value = 0);

private:
  // A descriptor as read from guest memory.
  struct Descriptor {
    uint64_t address;
    uint64_t flags;
    uint64_t guid;
    uint64_t target; // the PPI or the notify function
  };
  template <typename T>
  static uint64_t Address(T *p) {
    return reinterpret_cast<uintptr_t>(p);
  }
  void Build();
  Descriptor ReadDescriptor(uint64_t address);
  bool GuidsEqual(uint64_t a, uint64_t b);
  void RunNotify(const Descriptor &notify, const Descriptor &ppi);
  // Reads a descriptor list up to its entry with the terminate flag. EFI_INVALID_PARAMETER (and
  // an empty list) for a null list, an entry without any of `requiredFlags`, without a GUID, or
  // without a target when `needsTarget`, or a list that does not end within a bound.
  EFI_STATUS ReadList(uint64_t listAddress, uint64_t requiredFlags, bool needsTarget,
                      std::vector<Descriptor> &list);
  // Runs each callback notify of notifies_[notifyFirst, notifyEnd) for each PPI of
  // ppis_[ppiFirst, ppiEnd) with its GUID, notify by notify.
  void RunNotifies(size_t notifyFirst, size_t notifyEnd, size_t ppiFirst, size_t ppiEnd);

  Machine &machine_;
  std::unique_ptr<PeiCoreBinding> own_binding_;
  PeiCoreBinding *binding_;
  uint32_t boot_mode_;
  HobList hobs_;
  uint64_t services_ = 0;
  std::map<UINTN, uint64_t> pcd_;
  std::vector<Descriptor> ppis_;
  std::vector<Descriptor> notifies_;
  std::vector<NotifyRun> runs_;
  std::map<std::string, uint64_t> calls_;
  uint64_t stall_us_ = 0;
};

} // namespace sim
