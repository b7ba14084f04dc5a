#include "platform/pch_family.h"

#include "access/mmio.h"
#include "include/register_address.h"
#include "platform/module_state.h"
#include "platform/pch_regs.h"
#include "platform/pei_services.h"
#include "platform/register_address.h"

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

UINT32 GetPchFamily() {
  const EFI_PEI_SERVICES **services = CurrentPeiServices();
  ModuleState state = LoadModuleState(services);
  if (state.PchFamily != 0) {
    return state.PchFamily;
  }
  const UINT32 family = DetectPchFamily();
  if (family != kPchFamilyUnknown) {
    state.PchFamily = static_cast<UINT8>(family);
    StoreModuleState(services, state);
  }
  return family;
}

UINT32 IsServerPch() {
  const EFI_PEI_SERVICES **services = CurrentPeiServices();
  ModuleState state = LoadModuleState(services);
  if (state.ServerPch != 0) {
    return kIsServerPchYes;
  }
  if (DetectPchFamily() != kPchFamilyServer) {
    return kIsServerPchNo;
  }
  state.ServerPch = 1;
  StoreModuleState(services, state);
  return kIsServerPchYes;
}
