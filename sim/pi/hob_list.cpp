#include "sim/pi/hob_list.h"

#include <cstring>
#include <stdexcept>

namespace sim {

namespace {
constexpr size_t kHeader = sizeof(EFI_HOB_GENERIC_HEADER);
}

HobList::HobList(uint32_t bootMode, size_t capacity) : HobList(bootMode, capacity, nullptr, 0) {}

HobList::HobList(uint32_t bootMode, size_t capacity, uint8_t *bytes, uint64_t address)
    : storage_(bytes ? 0 : (capacity + 7) / 8, 0),
      bytes_(bytes ? bytes : reinterpret_cast<uint8_t *>(storage_.data())),
      capacity_(bytes ? capacity : storage_.size() * sizeof(uint64_t)),
      base_(bytes ? address : reinterpret_cast<uintptr_t>(bytes_)) {
  if (Capacity() < sizeof(EFI_HOB_HANDOFF_INFO_TABLE) + kHeader) {
    throw std::invalid_argument("HOB memory too small for the PHIT and end HOBs");
  }
  std::memset(Bytes(), 0, Capacity());
  EFI_HOB_HANDOFF_INFO_TABLE *phit = Phit();
  phit->Header = {EFI_HOB_TYPE_HANDOFF, sizeof(EFI_HOB_HANDOFF_INFO_TABLE), 0};
  phit->Version = EFI_HOB_HANDOFF_TABLE_VERSION;
  phit->BootMode = bootMode;
  const uint64_t base = base_;
  phit->EfiMemoryBottom = base;
  phit->EfiMemoryTop = base + Capacity();
  phit->EfiFreeMemoryTop = base + Capacity();
  end_offset_ = sizeof(EFI_HOB_HANDOFF_INFO_TABLE);
  WriteEnd();
}

void HobList::WriteEnd() {
  EFI_HOB_GENERIC_HEADER end = {EFI_HOB_TYPE_END_OF_HOB_LIST, kHeader, 0};
  std::memcpy(Bytes() + end_offset_, &end, kHeader);
  const uint64_t base = base_;
  Phit()->EfiEndOfHobList = base + end_offset_;
  Phit()->EfiFreeMemoryBottom = base + end_offset_ + kHeader;
}

EFI_STATUS HobList::Create(uint16_t type, uint16_t length, void **hob) {
  if (hob == nullptr || length < kHeader) {
    return EFI_INVALID_PARAMETER;
  }
  if (end_offset_ + length + kHeader > Capacity()) {
    return EFI_OUT_OF_RESOURCES;
  }
  uint8_t *at = Bytes() + end_offset_;
  std::memset(at, 0, length);
  EFI_HOB_GENERIC_HEADER header = {type, length, 0};
  std::memcpy(at, &header, kHeader);
  end_offset_ += length;
  WriteEnd();
  *hob = at;
  return EFI_SUCCESS;
}

void *HobList::AddGuidHob(const EFI_GUID &name, const std::vector<uint8_t> &data) {
  void *hob = nullptr;
  const size_t length = sizeof(EFI_HOB_GUID_TYPE) + data.size();
  if (length > 0xFFFF ||
      EFI_ERROR(Create(EFI_HOB_TYPE_GUID_EXTENSION, static_cast<uint16_t>(length), &hob))) {
    throw std::length_error("GUID HOB does not fit in HOB memory");
  }
  uint8_t *bytes = static_cast<uint8_t *>(hob);
  std::memcpy(bytes + kHeader, &name, sizeof(EFI_GUID));
  if (!data.empty()) {
    std::memcpy(bytes + sizeof(EFI_HOB_GUID_TYPE), data.data(), data.size());
  }
  return hob;
}

std::vector<HobView> HobList::Walk() const {
  std::vector<HobView> hobs;
  size_t at = 0;
  while (at + kHeader <= Capacity()) {
    EFI_HOB_GENERIC_HEADER h;
    std::memcpy(&h, Bytes() + at, kHeader);
    hobs.push_back({h.HobType, h.HobLength, Bytes() + at});
    if (h.HobType == EFI_HOB_TYPE_END_OF_HOB_LIST || h.HobLength < kHeader ||
        at + h.HobLength > Capacity()) {
      break;
    }
    at += h.HobLength;
  }
  return hobs;
}

const uint8_t *HobList::FindGuidHob(const EFI_GUID &name) const {
  for (const HobView &h : Walk()) {
    if (h.type == EFI_HOB_TYPE_GUID_EXTENSION && h.length >= sizeof(EFI_HOB_GUID_TYPE) &&
        std::memcmp(h.bytes + kHeader, &name, sizeof(EFI_GUID)) == 0) {
      return h.bytes;
    }
  }
  return nullptr;
}

} // namespace sim
