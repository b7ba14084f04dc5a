// DrawImageFile's volume scan over arbitrary flash contents, with the PEI core's FFS services of
// the simulator. Input: a 64 KiB slot (1 byte, from 0xFF000000), the wanted file GUID (16), then
// bytes placed in flash at that slot; the rest of the 16 MiB reads erased. Every read of module
// and core must stay in the flash, every write in the frame buffer.
#include <cstring>
#include <vector>

#include "modules/boot_progress_pei/image/image_draw.h"
#include "sim/pi/ffs_walk.h"
#include "tests/fuzz/fuzz_access.h"

namespace {
constexpr uint64_t kFlashBase = 0xFF000000;
constexpr size_t kFlashSize = 0x1000000;

std::vector<uint8_t> &Flash() {
  static std::vector<uint8_t> flash(kFlashSize, 0xFF);
  return flash;
}

sim::FlashView View() {
  return {[](uint64_t address, unsigned width) {
            if (address < kFlashBase || address - kFlashBase + width > kFlashSize) {
              __builtin_trap(); // the core read outside the flash
            }
            uint64_t v = 0;
            for (unsigned i = 0; i < width; ++i) {
              v |= static_cast<uint64_t>(Flash()[address - kFlashBase + i]) << (8 * i);
            }
            return v;
          },
          kFlashBase, kFlashBase + kFlashSize};
}

EFI_STATUS EFIAPI FindNextFile(const EFI_PEI_SERVICES **, EFI_FV_FILETYPE type,
                               const EFI_PEI_FV_HANDLE volume, EFI_PEI_FILE_HANDLE *file) {
  uint64_t handle = reinterpret_cast<uintptr_t>(*file);
  const EFI_STATUS s =
      sim::FindNextFile(View(), type, reinterpret_cast<uintptr_t>(volume), &handle);
  if (!EFI_ERROR(s)) {
    *file = reinterpret_cast<EFI_PEI_FILE_HANDLE>(static_cast<uintptr_t>(handle));
  }
  return s;
}

EFI_STATUS EFIAPI FindSectionData(const EFI_PEI_SERVICES **, EFI_SECTION_TYPE type,
                                  EFI_PEI_FILE_HANDLE file, VOID **data) {
  uint64_t address = 0;
  const EFI_STATUS s =
      sim::FindSectionData(View(), type, reinterpret_cast<uintptr_t>(file), &address);
  if (!EFI_ERROR(s)) {
    *data = reinterpret_cast<VOID *>(static_cast<uintptr_t>(address));
  }
  return s;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  if (size < 17) {
    return 0;
  }
  const size_t offset = size_t{data[0]} * 0x10000;
  EFI_GUID wanted;
  std::memcpy(&wanted, data + 1, sizeof wanted);
  const size_t length = std::min(size - 17, kFlashSize - offset);
  std::vector<uint8_t> &flash = Flash();
  std::memcpy(flash.data() + offset, data + 17, length);
  fuzz::SetReadableWindow(kFlashBase, flash.data(), kFlashSize);
  fuzz::ResetCounters(); // every input starts from the same state: an empty port-write log

  EFI_PEI_SERVICES table{};
  table.FfsFindNextFile = FindNextFile;
  table.FfsFindSectionData = FindSectionData;
  const EFI_PEI_SERVICES *services = &table;
  uint32_t bottom = data[1] % 3 == 0 ? 0 : 17, left = data[2] % 3 == 0 ? 0 : 3;
  DrawImageFile(&services, &wanted, &bottom, &left, data[3] & 1);

  std::memset(flash.data() + offset, 0xFF, length);
  return 0;
}
