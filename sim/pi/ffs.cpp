#include "sim/pi/ffs.h"

#include "sim/devices/memory/flash.h"
#include "sim/pi/ffs_walk.h"

namespace sim {

namespace {
// The PEI core finds volumes only in the flash window; its reads cost bus time like the module's.
FlashView BusFlashView(Bus &bus) {
  return {
      [&bus](uint64_t address, unsigned width) { return bus.Read(Space::Memory, address, width); },
      FlashDevice::kBase, FlashDevice::kBase + FlashDevice::kSize};
}
} // namespace

EFI_STATUS FfsFindNextFile(Bus &bus, uint8_t searchType, uint64_t volumeHandle,
                           uint64_t *fileHandle) {
  return FindNextFile(BusFlashView(bus), searchType, volumeHandle, fileHandle);
}

EFI_STATUS FfsFindSectionData(Bus &bus, uint8_t sectionType, uint64_t fileHandle,
                              uint64_t *sectionData) {
  return FindSectionData(BusFlashView(bus), sectionType, fileHandle, sectionData);
}

} // namespace sim
