#include "sim/pei/ffs.h"

#include <algorithm>
#include <memory>
#include <utility>
#include <vector>

#include "sim/devices/memory/flash.h"
#include "sim/pi/ffs_walk.h"

namespace sim {

namespace {
// The PEI core finds volumes only in the flash window; its reads cost bus time like the module's.
// It reads flash as a core on IA32 does, in aligned 32-bit units, each at most once per service
// call however the walk picks the bytes out of it.
FlashView BusFlashView(Bus &bus) {
  // The dwords read so far, by address (a walk reads mostly upwards: most go on the end).
  using Dword = std::pair<uint64_t, uint32_t>;
  auto dwords = std::make_shared<std::vector<Dword>>();
  return {[&bus, dwords](uint64_t address, unsigned width) {
            uint64_t value = 0;
            for (unsigned i = 0; i < width; ++i) {
              const uint64_t at = address + i;
              const uint64_t aligned = at & ~uint64_t{3};
              auto it = std::lower_bound(dwords->begin(), dwords->end(), aligned,
                                         [](const Dword &d, uint64_t a) { return d.first < a; });
              if (it == dwords->end() || it->first != aligned) {
                const auto dword = static_cast<uint32_t>(bus.Read(Space::Memory, aligned, 4));
                it = dwords->insert(it, {aligned, dword});
              }
              value |= static_cast<uint64_t>((it->second >> (8 * (at & 3))) & 0xFF) << (8 * i);
            }
            return value;
          },
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
