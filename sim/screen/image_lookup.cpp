#include "sim/screen/image_lookup.h"

#include "sim/pi/ffs_walk.h"

namespace sim {

namespace {
constexpr uint64_t kScanFirst = 0xFF000000;
constexpr uint64_t kScanEnd = 0xFFFF0000;
constexpr uint64_t kScanStep = 0x10000;
constexpr uint64_t kVolumeSizeLimit = 0x1000000;
} // namespace

ImageLookup LookUpImage(const FlashDevice &flash, const EFI_GUID &name) {
  ImageLookup result;
  const FlashView view = flash.View();
  for (uint64_t a = kScanFirst; a < kScanEnd && !result.found; a += kScanStep) {
    // Erased flash holds no volume header; its pages are left untouched.
    if (flash.Erased(a + kFvSignatureOffset, 4) ||
        view.read(a + kFvSignatureOffset, 4) != EFI_FVH_SIGNATURE ||
        view.read(a + kFvLengthOffset, 8) >= kVolumeSizeLimit) {
      continue;
    }
    uint64_t file = 0;
    while (!EFI_ERROR(FindNextFile(view, EFI_FV_FILETYPE_FREEFORM, a, &file))) {
      EFI_GUID fileName;
      for (unsigned i = 0; i < sizeof fileName; ++i) {
        reinterpret_cast<uint8_t *>(&fileName)[i] = static_cast<uint8_t>(view.read(file + i, 1));
      }
      if (GuidEquals(&fileName, &name)) {
        result.found = true;
        result.volume = a;
        result.file = file;
        break;
      }
    }
  }
  if (!result.found) {
    result.why_not = "no firmware volume holds a freeform file with this name";
    return result;
  }
  uint64_t length = 0;
  if (EFI_ERROR(FindSectionData(view, EFI_SECTION_RAW, result.file, &result.data, &length))) {
    result.why_not = "the file has no raw section";
    return result;
  }
  result.section = true;
  result.bytes.resize(length);
  for (uint64_t i = 0; i < length; ++i) {
    result.bytes[i] = flash.Byte(result.data + i);
  }
  return result;
}

} // namespace sim
