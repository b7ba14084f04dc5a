#include "sim/pei/pei_core.h"

#include <algorithm>
#include <cstring>

#include "sim/core/module_globals.h"
#include "sim/core/phase_log.h"
#include "sim/pei/ffs.h"
#include "sim/pei/pei_host_binding.h"
#include "uefi/ppi/ipmi_transport.h"

namespace sim {

namespace {
PeiCore *current_core = nullptr;

constexpr EFI_STATUS kHobListUnavailable = EFI_NOT_READY;

bool IsLast(uint64_t flags) { return (flags & EFI_PEI_PPI_DESCRIPTOR_TERMINATE_LIST) != 0; }

// HOB lengths are kept a multiple of this; a length that cannot be rounded up within 16 bits
// is rejected.
constexpr unsigned kHobAlignment = 8;
constexpr unsigned kMaxHobLength = 0x10000 - kHobAlignment;

// Descriptor lists are bounded so that a list missing its terminate flag fails instead of
// running through memory; no real list comes near this length.
constexpr size_t kMaxListEntries = 256;

// Table layout in pointer-sized slots after the 24-byte table header, in the published order.
constexpr size_t kTableHeaderSize = sizeof(EFI_TABLE_HEADER);
constexpr unsigned kServicesSlots = 28;
struct ServiceSlot {
  unsigned slot;
  PeiFunction function;
};
constexpr ServiceSlot kServiceSlots[] = {
    {0, PeiFunction::InstallPpi},      {2, PeiFunction::LocatePpi},
    {3, PeiFunction::NotifyPpi},       {4, PeiFunction::GetBootMode},
    {6, PeiFunction::GetHobList},      {7, PeiFunction::CreateHob},
    {9, PeiFunction::FfsFindNextFile}, {10, PeiFunction::FfsFindSectionData},
    {14, PeiFunction::CopyMem},        {15, PeiFunction::SetMem},
};
static_assert(offsetof(EFI_PEI_SERVICES, SetMem) == kTableHeaderSize + 15 * sizeof(void *));
static_assert(offsetof(EFI_PEI_SERVICES, FfsFindSectionData) ==
              kTableHeaderSize + 10 * sizeof(void *));
static_assert(sizeof(EFI_PEI_SERVICES) == kTableHeaderSize + kServicesSlots * sizeof(void *));
// Slots of the PCD PPI and of the IPMI transport PPI.
constexpr unsigned kPcdSlots = 8, kPcdGet32Slot = 3, kPcdGet64Slot = 4, kPcdGetPtrSlot = 5;
static_assert(offsetof(PCD_PPI, GetPtr) == kPcdGetPtrSlot * sizeof(void *));
constexpr unsigned kIpmiSlots = 4, kIpmiSubmitSlot = 3;
static_assert(offsetof(IPMI_TRANSPORT_PPI, IpmiSubmitCommand) == kIpmiSubmitSlot * sizeof(void *));
constexpr uint32_t kPeiServicesRevision = (1u << 16) | 70;
} // namespace

PeiCore::PeiCore(Machine &machine, uint32_t bootMode, size_t hobCapacity)
    : PeiCore(machine, bootMode, hobCapacity, nullptr) {}

PeiCore::PeiCore(Machine &machine, uint32_t bootMode, size_t hobCapacity, PeiCoreBinding *binding)
    : machine_(machine),
      own_binding_(binding ? nullptr : std::make_unique<HostPeiBinding>(machine)),
      binding_(binding ? binding : own_binding_.get()), boot_mode_(bootMode),
      hobs_(bootMode, hobCapacity, binding_->HobArea(hobCapacity).bytes,
            binding_->HobArea(hobCapacity).address) {
  // Free HOB memory is not cleared on a real board: a recognisable fill shows a HOB byte the
  // module never wrote.
  std::fill(hobs_.Bytes() + hobs_.UsedBytes(), hobs_.Bytes() + hobs_.Capacity(), kHobMemoryFill);
  Build();
}

// Lays out the services table, its block (what the services pointer points at), and the stall
// and PCD PPIs, and installs those two.
void PeiCore::Build() {
  GuestMemory &m = Memory();
  const unsigned p = m.PointerSize();
  const uint64_t table = binding_->Allocate(kTableHeaderSize + kServicesSlots * p);
  const EFI_TABLE_HEADER header = {PEI_SERVICES_SIGNATURE, kPeiServicesRevision,
                                   static_cast<UINT32>(kTableHeaderSize + kServicesSlots * p), 0,
                                   0};
  m.Write(table, &header, sizeof header);
  for (const ServiceSlot &s : kServiceSlots) {
    m.WritePointer(table + kTableHeaderSize + s.slot * p, binding_->Function(s.function));
  }
  services_ = binding_->Allocate(2 * p);
  m.WritePointer(services_, table);
  m.WritePointer(services_ + p, binding_->CoreCookie(*this));
  current_core = this;

  const uint64_t stall = binding_->Allocate(2 * p);
  m.WritePointer(stall, 1); // Resolution: one microsecond
  m.WritePointer(stall + p, binding_->Function(PeiFunction::Stall));
  const uint64_t pcd = binding_->Allocate(kPcdSlots * p);
  m.WritePointer(pcd + kPcdGet32Slot * p, binding_->Function(PeiFunction::PcdGet32));
  m.WritePointer(pcd + kPcdGet64Slot * p, binding_->Function(PeiFunction::PcdGet64));
  m.WritePointer(pcd + kPcdGetPtrSlot * p, binding_->Function(PeiFunction::PcdGetPtr));
  const uint64_t list = binding_->Allocate(6 * p);
  m.WritePointer(list, EFI_PEI_PPI_DESCRIPTOR_PPI);
  m.WritePointer(list + p, PlaceGuid(gEfiPeiStallPpiGuid));
  m.WritePointer(list + 2 * p, stall);
  m.WritePointer(list + 3 * p, EFI_PEI_PPI_DESCRIPTOR_PPI | EFI_PEI_PPI_DESCRIPTOR_TERMINATE_LIST);
  m.WritePointer(list + 4 * p, PlaceGuid(gPcdPpiGuid));
  m.WritePointer(list + 5 * p, pcd);
  InstallPpiAt(list);
  calls_.clear();
}

PeiCore::~PeiCore() {
  if (current_core == this) {
    current_core = nullptr;
  }
}

PeiCore &PeiCore::FromServices(const EFI_PEI_SERVICES **services) {
  // The block: the table pointer, then the host binding's cookie, the core.
  const uintptr_t *block = reinterpret_cast<const uintptr_t *>(services);
  return *reinterpret_cast<PeiCore *>(block[1]);
}

PeiCore &PeiCore::Current() { return *current_core; }

uint64_t PeiCore::PlaceGuid(const EFI_GUID &guid) {
  const uint64_t at = binding_->Allocate(sizeof guid);
  Memory().Write(at, &guid, sizeof guid);
  return at;
}

uint64_t PeiCore::PlacePpiDescriptor(const EFI_GUID &guid, uint64_t ppi) {
  GuestMemory &m = Memory();
  const unsigned p = m.PointerSize();
  const uint64_t d = binding_->Allocate(3 * p);
  m.WritePointer(d, EFI_PEI_PPI_DESCRIPTOR_PPI | EFI_PEI_PPI_DESCRIPTOR_TERMINATE_LIST);
  m.WritePointer(d + p, PlaceGuid(guid));
  m.WritePointer(d + 2 * p, ppi);
  return d;
}

uint64_t PeiCore::PlaceIpmiTransportPpi() {
  const unsigned p = Memory().PointerSize();
  const uint64_t ppi = binding_->Allocate(kIpmiSlots * p);
  Memory().WritePointer(ppi + kIpmiSubmitSlot * p,
                        binding_->Function(PeiFunction::IpmiSubmitCommand));
  return ppi;
}

void PeiCore::Called(const char *name, uint64_t arg, uint64_t value) {
  ++calls_[name];
  machine_.bus.RecordService(name, arg, value);
}

EFI_STATUS PeiCore::RunPeim(EFI_PEIM_ENTRY_POINT2 entry) {
  static int file_handle_token; // stands for the PEIM's FFS file
  return RunPeimAt(Address(entry), Address(&file_handle_token));
}

EFI_STATUS PeiCore::RunPeimAt(uint64_t entry, uint64_t fileHandle) {
  RestoreFreshModuleGlobals();
  binding_->PublishServices(services_);
  return binding_->CallEntry(entry, fileHandle, services_);
}

PeiCore::Descriptor PeiCore::ReadDescriptor(uint64_t address) {
  GuestMemory &m = Memory();
  const unsigned p = m.PointerSize();
  return {address, m.ReadPointer(address), m.ReadPointer(address + p),
          m.ReadPointer(address + 2 * p)};
}

bool PeiCore::GuidsEqual(uint64_t a, uint64_t b) {
  const EFI_GUID x = Memory().ReadGuid(a);
  const EFI_GUID y = Memory().ReadGuid(b);
  return GuidEquals(&x, &y);
}

void PeiCore::RunNotify(const Descriptor &notify, const Descriptor &ppi) {
  const size_t slot = runs_.size();
  runs_.push_back(
      {notify.address, Memory().ReadGuid(notify.guid), EFI_SUCCESS,
       reinterpret_cast<EFI_PEIM_NOTIFY_ENTRY_POINT>(static_cast<uintptr_t>(notify.target)),
       notify.target});
  const EFI_STATUS status =
      binding_->CallNotify(notify.target, services_, notify.address, ppi.target);
  runs_[slot].status = status;
}

std::vector<const EFI_PEI_PPI_DESCRIPTOR *> PeiCore::InstalledPpis() const {
  std::vector<const EFI_PEI_PPI_DESCRIPTOR *> list;
  for (const Descriptor &d : ppis_) {
    list.push_back(
        reinterpret_cast<const EFI_PEI_PPI_DESCRIPTOR *>(static_cast<uintptr_t>(d.address)));
  }
  return list;
}

std::vector<const EFI_PEI_NOTIFY_DESCRIPTOR *> PeiCore::Notifies() const {
  std::vector<const EFI_PEI_NOTIFY_DESCRIPTOR *> list;
  for (const Descriptor &d : notifies_) {
    list.push_back(
        reinterpret_cast<const EFI_PEI_NOTIFY_DESCRIPTOR *>(static_cast<uintptr_t>(d.address)));
  }
  return list;
}

EFI_STATUS PeiCore::ReadList(uint64_t listAddress, uint64_t requiredFlags, bool needsTarget,
                             std::vector<Descriptor> &list) {
  list.clear();
  if (listAddress == 0) {
    return EFI_INVALID_PARAMETER;
  }
  const unsigned size = 3 * Memory().PointerSize();
  for (;;) {
    const Descriptor d = ReadDescriptor(listAddress + list.size() * size);
    if (list.size() == kMaxListEntries || (d.flags & requiredFlags) == 0 || d.guid == 0 ||
        (needsTarget && d.target == 0)) {
      list.clear();
      return EFI_INVALID_PARAMETER;
    }
    list.push_back(d);
    if (IsLast(d.flags)) {
      return EFI_SUCCESS;
    }
  }
}

// Copies are taken because a callback may install PPIs or register notifies, growing the lists.
void PeiCore::RunNotifies(size_t notifyFirst, size_t notifyEnd, size_t ppiFirst, size_t ppiEnd) {
  for (size_t n = notifyFirst; n < notifyEnd; ++n) {
    const Descriptor notify = notifies_[n];
    if ((notify.flags & EFI_PEI_PPI_DESCRIPTOR_NOTIFY_CALLBACK) == 0) {
      continue;
    }
    for (size_t p = ppiFirst; p < ppiEnd; ++p) {
      const Descriptor ppi = ppis_[p];
      if (GuidsEqual(notify.guid, ppi.guid)) {
        RunNotify(notify, ppi);
      }
    }
  }
}

EFI_STATUS PeiCore::InstallPpiAt(uint64_t listAddress) {
  std::vector<Descriptor> list;
  const EFI_STATUS status = ReadList(listAddress, EFI_PEI_PPI_DESCRIPTOR_PPI, false, list);
  if (EFI_ERROR(status)) {
    return status;
  }
  const size_t first = ppis_.size();
  ppis_.insert(ppis_.end(), list.begin(), list.end());
  // Only the notifies registered before this install; later ones saw these PPIs when they
  // were registered.
  RunNotifies(0, notifies_.size(), first, ppis_.size());
  return EFI_SUCCESS;
}

EFI_STATUS PeiCore::NotifyPpiAt(uint64_t listAddress) {
  std::vector<Descriptor> list;
  const EFI_STATUS status = ReadList(listAddress, EFI_PEI_PPI_DESCRIPTOR_NOTIFY_TYPES, true, list);
  if (EFI_ERROR(status)) {
    return status;
  }
  const size_t first = notifies_.size();
  notifies_.insert(notifies_.end(), list.begin(), list.end());
  RunNotifies(first, notifies_.size(), 0, ppis_.size());
  return EFI_SUCCESS;
}

EFI_STATUS PeiCore::LocatePpiAt(uint64_t guid, uint64_t instance, uint64_t descriptorOut,
                                uint64_t ppiOut) {
  if (guid == 0 || ppiOut == 0) {
    return EFI_INVALID_PARAMETER;
  }
  for (const Descriptor &d : ppis_) {
    if (GuidsEqual(d.guid, guid) && instance-- == 0) {
      if (descriptorOut != 0) {
        Memory().WritePointer(descriptorOut, d.address);
      }
      Memory().WritePointer(ppiOut, d.target);
      return EFI_SUCCESS;
    }
  }
  return EFI_NOT_FOUND;
}

EFI_STATUS PeiCore::GetBootModeAt(uint64_t modeOut) {
  Called("GetBootMode", 0, boot_mode_);
  if (modeOut == 0) {
    return EFI_INVALID_PARAMETER;
  }
  if (faults.get_boot_mode) {
    return EFI_DEVICE_ERROR;
  }
  Memory().WriteUint(modeOut, boot_mode_, sizeof(EFI_BOOT_MODE));
  return EFI_SUCCESS;
}

EFI_STATUS PeiCore::GetHobListAt(uint64_t listOut) {
  Called("GetHobList");
  if (listOut == 0) {
    return EFI_INVALID_PARAMETER;
  }
  if (faults.get_hob_list) {
    return kHobListUnavailable;
  }
  Memory().WritePointer(listOut, hobs_.HeadAddress());
  return EFI_SUCCESS;
}

// As a PI core does it: the length is rounded up to a multiple of 8 (HOBs stay 8-byte aligned)
// and the body after the header keeps whatever HOB memory held; HobList clears a new HOB, so the
// bytes are put back.
EFI_STATUS PeiCore::CreateHobAt(uint16_t type, uint16_t length, uint64_t hobOut) {
  Called("CreateHob", type, length);
  if (hobOut == 0 || length < sizeof(EFI_HOB_GENERIC_HEADER) || length > kMaxHobLength) {
    return EFI_INVALID_PARAMETER;
  }
  const auto rounded = static_cast<uint16_t>((length + kHobAlignment - 1) & ~(kHobAlignment - 1));
  // The new HOB's header replaces the end HOB; its body is the memory after it.
  const size_t bodyAt = hobs_.UsedBytes();
  const size_t bodySize =
      std::min<size_t>(rounded - sizeof(EFI_HOB_GENERIC_HEADER), hobs_.Capacity() - bodyAt);
  std::vector<uint8_t> held(hobs_.Bytes() + bodyAt, hobs_.Bytes() + bodyAt + bodySize);
  void *hob = nullptr;
  const EFI_STATUS status = hobs_.Create(type, rounded, &hob);
  if (!EFI_ERROR(status)) {
    std::copy(held.begin(), held.end(),
              static_cast<uint8_t *>(hob) + sizeof(EFI_HOB_GENERIC_HEADER));
    Memory().WritePointer(hobOut, hobs_.AddressOf(hob));
  }
  return status;
}

EFI_STATUS PeiCore::FfsFindNextFileAt(uint8_t type, uint64_t volume, uint64_t fileInOut) {
  Called("FfsFindNextFile", volume);
  if (fileInOut == 0) {
    return EFI_INVALID_PARAMETER;
  }
  uint64_t handle = Memory().ReadPointer(fileInOut);
  const EFI_STATUS status = sim::FfsFindNextFile(machine_.bus, type, volume, &handle);
  if (!EFI_ERROR(status)) {
    Memory().WritePointer(fileInOut, handle);
  }
  return status;
}

EFI_STATUS PeiCore::FfsFindSectionDataAt(uint8_t type, uint64_t file, uint64_t dataOut) {
  Called("FfsFindSectionData", file);
  if (dataOut == 0) {
    return EFI_INVALID_PARAMETER;
  }
  uint64_t address = 0;
  const EFI_STATUS status = sim::FfsFindSectionData(machine_.bus, type, file, &address);
  if (!EFI_ERROR(status)) {
    Memory().WritePointer(dataOut, address);
  }
  return status;
}

// RAM the core shares with the module (stack, HOBs, tables) is written directly; anything else
// is the board's physical space and reaches device memory through the bus, in aligned 32-bit
// stores with byte stores only at the unaligned ends, as a core's SetMem on IA32 fills memory.
void PeiCore::SetMemAt(uint64_t buffer, uint64_t size, uint8_t value) {
  Called("SetMem", buffer, size);
  PhaseScope phase("SetMem");
  if (Memory().IsRam(buffer, size)) {
    const std::vector<uint8_t> bytes(size, value);
    Memory().Write(buffer, bytes.data(), size);
    return;
  }
  if (buffer >= Bus::kMemorySpaceSize || size > Bus::kMemorySpaceSize - buffer) {
    return;
  }
  Bus &bus = machine_.bus;
  const uint64_t dword = 0x01010101ull * value;
  uint64_t at = buffer;
  const uint64_t end = buffer + size;
  while (at < end && (at & 3) != 0) {
    bus.Write(Space::Memory, at++, 1, value);
  }
  const uint64_t dwords = (end - at) / 4;
  bus.Fill(Space::Memory, at, 4, dwords, dword);
  at += dwords * 4;
  while (at < end) {
    bus.Write(Space::Memory, at++, 1, value);
  }
}

void PeiCore::CopyMemAt(uint64_t destination, uint64_t source, uint64_t length) {
  Called("CopyMem", destination, length);
  std::vector<uint8_t> bytes(length);
  Memory().Read(source, bytes.data(), length);
  Memory().Write(destination, bytes.data(), length);
}

EFI_STATUS PeiCore::StallFor(uint64_t microseconds) {
  Called("Stall", microseconds);
  stall_us_ += microseconds;
  machine_.clock.Advance(microseconds * 1000);
  return EFI_SUCCESS;
}

uint64_t PeiCore::PcdGet(const char *service, uint64_t token) {
  auto it = pcd_.find(token);
  const uint64_t value = it == pcd_.end() ? 0 : it->second;
  Called(service, token, value);
  return value;
}

EFI_STATUS PeiCore::IpmiSubmitAt(uint8_t netFunction, uint8_t lun, uint8_t command,
                                 uint64_t request, uint32_t requestSize, uint64_t response,
                                 uint64_t responseSizeInOut) {
  Called("IpmiSubmitCommand", command, netFunction);
  if (!ipmi) {
    return EFI_NOT_READY;
  }
  IpmiRequest r{netFunction, lun, command, std::vector<uint8_t>(requestSize), 0};
  if (requestSize != 0 && request != 0) {
    Memory().Read(request, r.data.data(), requestSize);
  }
  if (responseSizeInOut != 0) {
    r.response_capacity = static_cast<uint8_t>(Memory().ReadUint(responseSizeInOut, 1));
  }
  const IpmiResponse answer = ipmi(r);
  if (!EFI_ERROR(answer.status) && response != 0 && responseSizeInOut != 0) {
    const size_t n = std::min<size_t>(answer.data.size(), r.response_capacity);
    Memory().Write(response, answer.data.data(), n);
    Memory().WriteUint(responseSizeInOut, n, 1);
  }
  return answer.status;
}

} // namespace sim
