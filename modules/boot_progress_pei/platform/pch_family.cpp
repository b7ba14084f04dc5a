#include "modules/boot_progress_pei/platform/pch_family.h"

#include "access/mmio.h"
#include "modules/boot_progress_pei/platform/module_state.h"
#include "modules/boot_progress_pei/platform/pch_regs.h"
#include "modules/boot_progress_pei/platform/pei_services.h"
#include "modules/boot_progress_pei/platform/register_address.h"

namespace {

struct DeviceIdRange {
  UINT16 First;
  UINT16 Last;
};

// LPC/eSPI bridge device IDs of the server PCH.
constexpr DeviceIdRange kServerPchIds[] = {{0xA1C0, 0xA1CF}, {0xA240, 0xA24F}};
// LPC/eSPI bridge device IDs of the mobile PCH.
constexpr UINT16 kMobilePchIds[] = {0x9D40, 0x9D41, 0x9D42, 0x9D43, 0x9D46, 0x9D48};

UINT32 ClassifyDeviceId(UINT16 id) {
  for (const DeviceIdRange &range : kServerPchIds) {
    if (id >= range.First && id <= range.Last) {
      return kPchFamilyServer;
    }
  }
  for (UINT16 mobile : kMobilePchIds) {
    if (id == mobile) {
      return kPchFamilyMobile;
    }
  }
  return kPchFamilyUnknown;
}

UINT32 DetectPchFamily() {
  return ClassifyDeviceId(MmioRead16(PchConfigAddress(kPchLpcFunction) + kPciDeviceIdOffset));
}

} // namespace

UINT32 PchConfigAddress(UINT8 function) {
  const RegisterAddress reg = PciExpressRegister(0, kPchBus, kPchDevice, function, 0);
  return GetRegisterAddress(&reg);
}

namespace {
// The PCH family through a field of the module state that caches it: the field's value once it is
// known, else a fresh detection, which is kept when `keep` holds for it. ServerPch keeps only the
// server family, whose value 1 is also the field's "recognised" value.
UINT32 CachedPchFamily(UINT8 ModuleState::*field, bool (*keep)(UINT32 family)) {
  const EFI_PEI_SERVICES **services = CurrentPeiServices();
  ModuleState state = LoadModuleState(services);
  if (state.*field != 0) {
    return state.*field;
  }
  const UINT32 family = DetectPchFamily();
  if (keep(family)) {
    state.*field = static_cast<UINT8>(family);
    StoreModuleState(services, state);
  }
  return family;
}

static_assert(kPchFamilyServer == 1, "ModuleState::ServerPch records 1 for the server PCH");

bool IsRecognised(UINT32 family) { return family != kPchFamilyUnknown; }
bool IsServerFamily(UINT32 family) { return family == kPchFamilyServer; }
} // namespace

UINT32 GetPchFamily() { return CachedPchFamily(&ModuleState::PchFamily, IsRecognised); }

UINT32 IsServerPch() {
  return IsServerFamily(CachedPchFamily(&ModuleState::ServerPch, IsServerFamily)) ? kIsServerPchYes
                                                                                  : kIsServerPchNo;
}
