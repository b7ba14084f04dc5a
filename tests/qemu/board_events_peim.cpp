// A PEIM standing in for the board's other components when BootProgressPei runs in real
// firmware: from its entry it installs the start trigger, the first screen trigger and the
// milestone PPIs in the order a normal boot of this board announces them, after providing a
// Stall PPI when the firmware has none. Once permanent memory is installed it builds the
// memory-topology GUID HOB of a fixed DIMM population for DimmReportSmm. Every step is marked on
// the debug console; the line after an install carries the PPI's name and the returned status.
#include "access/port_io.h"
#include "modules/dimm_report_smm/memory_topology_hob.h"
#include "tests/qemu/debug_console.h"
#include "tests/qemu/dimm_population.h"
#include "uefi/pi_hob.h"
#include "uefi/pi_pei.h"
#include "uefi/ppi/stall.h"

namespace {
using qemu_test::ConsoleHex;
using qemu_test::ConsoleLine;
using qemu_test::ConsoleText;

constexpr EFI_GUID kProgressStartTriggerGuid = {
    0xDDFC92D2, 0xCE30, 0x400F, {0x94, 0x25, 0x32, 0x9F, 0x24, 0x09, 0x9D, 0x27}};
constexpr EFI_GUID kScreenTriggerAGuid = {
    0xEAE59510, 0x5FCE, 0x4CD4, {0x8E, 0x93, 0x0D, 0x47, 0x47, 0x81, 0x82, 0xE3}};
constexpr EFI_GUID kMilestone5Guid = {
    0xCA4853F4, 0xE94B, 0x42B4, {0x86, 0x42, 0xCD, 0xE2, 0x8A, 0x7F, 0xAC, 0x2D}};
constexpr EFI_GUID kMilestone10Guid = {
    0xFEC46340, 0xCA99, 0x49FE, {0xBC, 0xCA, 0xD0, 0x9F, 0xA6, 0x06, 0x4A, 0x4A}};
constexpr EFI_GUID kMilestone15Guid = {
    0x12AA57CB, 0xE6F0, 0x40A3, {0xBD, 0xF4, 0xB0, 0x69, 0x0C, 0x9C, 0xCF, 0x06}};
constexpr EFI_GUID kMilestone30Guid = {
    0xECF149B5, 0xBF4E, 0x4AC8, {0x8A, 0x8C, 0xCE, 0x87, 0xCB, 0xAC, 0x93, 0xD3}};
// The module's signal PPI: its descriptor is constant data of the module's image, so its address
// tells where the module runs (in place in the PEI volume, or from a copy in permanent memory).
constexpr EFI_GUID kProgressReadyPpiGuid = {
    0x2F5AB640, 0x776B, 0x4A13, {0x98, 0x41, 0x54, 0x0D, 0x0F, 0x07, 0x5E, 0xFF}};
constexpr EFI_GUID kMemoryTopologyHobGuid = {
    0xF8870015, 0x6994, 0x4B98, {0x95, 0xA2, 0xBD, 0x56, 0xDA, 0x91, 0xC0, 0x7F}};

// The ACPI PM timer where this machine's firmware puts it (power-management base 0x600): a 24-bit
// count at 3.579545 MHz.
constexpr uint16_t kPmTimerPort = 0x608;
constexpr UINT32 kPmTimerMask = 0xFFFFFF;
// Before the firmware enables the timer the port reads all ones and never moves: a wait gives
// up after this many reads per microsecond asked for, far more than a running timer needs.
constexpr UINTN kTimerReadsPerMicrosecond = 8;

EFI_STATUS EFIAPI Stall(const EFI_PEI_SERVICES **, const EFI_PEI_STALL_PPI *, UINTN microseconds) {
  // 3.58 ticks per microsecond, rounded up, in 32 bits (the IA32 build has no 64-bit divide).
  const UINT32 ticks = (static_cast<UINT32>(microseconds) * 358 + 99) / 100;
  UINT32 elapsed = 0;
  UINT32 last = IoRead32(kPmTimerPort) & kPmTimerMask;
  for (UINTN reads = 0; elapsed < ticks && reads < microseconds * kTimerReadsPerMicrosecond + 16;
       ++reads) {
    const UINT32 now = IoRead32(kPmTimerPort) & kPmTimerMask;
    elapsed += (now - last) & kPmTimerMask;
    last = now;
  }
  return EFI_SUCCESS;
}

const EFI_PEI_STALL_PPI kStallPpi = {1, Stall};
const EFI_PEI_PPI_DESCRIPTOR kStallPpiList = {EFI_PEI_PPI_DESCRIPTOR_PPI |
                                                  EFI_PEI_PPI_DESCRIPTOR_TERMINATE_LIST,
                                              &gEfiPeiStallPpiGuid, &kStallPpi};

struct NamedTrigger {
  const char *name;
  EFI_PEI_PPI_DESCRIPTOR descriptor;
};

constexpr UINTN kOnePpi = EFI_PEI_PPI_DESCRIPTOR_PPI | EFI_PEI_PPI_DESCRIPTOR_TERMINATE_LIST;
// The board's order; the permanent-memory PPI between Milestone15 and Milestone30 is the core's.
const NamedTrigger kTriggers[] = {
    {"ProgressStart", {kOnePpi, &kProgressStartTriggerGuid, nullptr}},
    {"ScreenA", {kOnePpi, &kScreenTriggerAGuid, nullptr}},
    {"Milestone5", {kOnePpi, &kMilestone5Guid, nullptr}},
    {"Milestone10", {kOnePpi, &kMilestone10Guid, nullptr}},
    {"Milestone15", {kOnePpi, &kMilestone15Guid, nullptr}},
    {"Milestone30", {kOnePpi, &kMilestone30Guid, nullptr}},
};

void BuildMemoryTopologyHob(const EFI_PEI_SERVICES **services) {
  VOID *hob = nullptr;
  const EFI_STATUS status = (*services)->CreateHob(services, EFI_HOB_TYPE_GUID_EXTENSION,
                                                   MemoryTopologyLayout::kFullLength, &hob);
  ConsoleText("board-events: topology hob ");
  ConsoleHex(status, sizeof(EFI_STATUS) * 2);
  ConsoleText(" at ");
  ConsoleHex(reinterpret_cast<UINTN>(hob), sizeof(UINTN) * 2);
  ConsoleLine("");
  if ((status & kEfiErrorBit) != 0 || hob == nullptr) {
    return;
  }
  // The core does not clear a new HOB's body: everything but the header is set here.
  auto *bytes = static_cast<UINT8 *>(hob);
  (*services)->SetMem(bytes + 8, MemoryTopologyLayout::kFullLength - 8, 0);
  const auto *name = reinterpret_cast<const UINT8 *>(&kMemoryTopologyHobGuid);
  for (UINTN i = 0; i < sizeof(EFI_GUID); ++i) {
    bytes[8 + i] = name[i];
  }
  for (const qemu_test::PopulatedSlot &s : qemu_test::kPopulatedSlots) {
    const UINTN entry = MemoryTopologyLayout::DimmOffset(s.socket, s.channel, s.slot);
    bytes[entry + MemoryTopologyLayout::kDimmFirstByte] = 0x01;
    bytes[entry + MemoryTopologyLayout::kDimmLastByte] = 0x01;
  }
}

EFI_STATUS EFIAPI OnPermanentMemory(const EFI_PEI_SERVICES **services,
                                    const EFI_PEI_NOTIFY_DESCRIPTOR *, VOID *) {
  ConsoleLine("board-events: permanent memory");
  BuildMemoryTopologyHob(services);
  return EFI_SUCCESS;
}

const EFI_PEI_NOTIFY_DESCRIPTOR kMemoryNotify = {
    EFI_PEI_PPI_DESCRIPTOR_NOTIFY_CALLBACK | EFI_PEI_PPI_DESCRIPTOR_TERMINATE_LIST,
    &gEfiPeiPermanentMemoryInstalledPpiGuid, OnPermanentMemory};
} // namespace

extern "C" EFI_STATUS EFIAPI BoardEventsEntry(EFI_PEI_FILE_HANDLE,
                                              const EFI_PEI_SERVICES **services) {
  ConsoleLine("board-events: entry");
  VOID *stall = nullptr;
  if (((*services)->LocatePpi(services, &gEfiPeiStallPpiGuid, 0, nullptr, &stall) & kEfiErrorBit) !=
      0) {
    (*services)->InstallPpi(services, &kStallPpiList);
    ConsoleLine("board-events: stall installed");
  }
  for (const NamedTrigger &t : kTriggers) {
    ConsoleText("board-events: install ");
    ConsoleLine(t.name);
    const EFI_STATUS status = (*services)->InstallPpi(services, &t.descriptor);
    ConsoleText("board-events: installed ");
    ConsoleText(t.name);
    ConsoleText(" ");
    ConsoleHex(status, sizeof(EFI_STATUS) * 2);
    ConsoleLine("");
  }
  EFI_PEI_PPI_DESCRIPTOR *ready = nullptr;
  VOID *readyPpi = nullptr;
  if (((*services)->LocatePpi(services, &kProgressReadyPpiGuid, 0, &ready, &readyPpi) &
       kEfiErrorBit) == 0) {
    ConsoleText("board-events: module signal descriptor at ");
    ConsoleHex(reinterpret_cast<UINTN>(ready), sizeof(UINTN) * 2);
    ConsoleLine("");
  }
  (*services)->NotifyPpi(services, &kMemoryNotify);
  ConsoleLine("board-events: done");
  return EFI_SUCCESS;
}
