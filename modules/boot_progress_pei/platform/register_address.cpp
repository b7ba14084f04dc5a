#include "modules/boot_progress_pei/platform/register_address.h"

#include "modules/boot_progress_pei/platform/pcd_access.h"
#include "modules/boot_progress_pei/platform/segment_table.h"
#include "uefi/ppi/pcd.h"

namespace {
void ResolvePciExpress(const RegisterAddress *reg, UINT32 *address) {
  *address = ResolveSegmentBase(reg) + RegisterEcamOffsetField::Get(reg->Offset);
}
} // namespace

const RegisterAddressResolver RegisterAddressResolvers[kRegisterAddressTypeCount] = {
    ResolvePciExpress, // kAddressTypePciExpress
};

UINT32 GetRegisterAddress(const RegisterAddress *reg) {
  if (reg == nullptr) {
    return 0;
  }
  const UINT32 type = RegisterAddressTypeField::Get(reg->Attribute);
  if (type >= kRegisterAddressTypeCount) {
    return 0;
  }
  UINT32 address = 0;
  RegisterAddressResolvers[type](reg, &address);
  return address;
}

UINT32 ResolveSegmentBase(const RegisterAddress *reg) {
  const UINT32 segment = RegisterSegmentField::Get(reg->Location);
  const VOID *platformTable = PlatformPcdGetPtr(kPcdTokenPciSegmentTable);
  const SegmentBase base = platformTable != nullptr && SegmentTableLength(platformTable) != 0
                               ? SegmentTableBase(platformTable, segment)
                               : SegmentTableBase(&DefaultSegmentTable, segment);
  if (base.Low == 0 && base.High == 0) {
    return static_cast<UINT32>(PlatformPcdGet64(kPcdTokenPciExpressBaseAddress));
  }
  return base.Low; // the upper word only decides whether the entry has a base
}
