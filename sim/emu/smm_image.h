// DimmReportSmm's firmware image on the simulated board: the PE32+ image loaded and relocated into
// RAM, as the SMM core loads a driver, and started on an emulated 64-bit processor with the
// Microsoft x64 convention.
//
// A 64-bit image has the simulator's own pointer width, so the SMM core and its models serve it
// unchanged: the guest shares the simulator's memory above 4 GiB identity-mapped (the image, its
// stack, and the core's tables, protocols, HOB list and pool are all host memory at their host
// addresses), and every function pointer in those tables is a host function, whose address traps
// when the guest calls it. The trap hands the call, arguments in RCX, RDX, R8, R9 and on the
// stack, to that function and returns its result in RAX.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "sim/emu/cpu_emulator.h"
#include "sim/emu/guest_abi.h"
#include "sim/emu/pei_image.h"
#include "sim/smm/smm_board.h"

namespace sim::emu {

class SmmImageRun {
public:
  static constexpr uint64_t kTrapPage = 0xFEEFF000;
  static constexpr uint64_t kStackSize = 0x10000;

  // Throws PeImageError for an image that is not an X64 PE32+ image.
  SmmImageRun(SmmBoard &board, const std::vector<uint8_t> &image,
              const std::filesystem::path &linkMap);
  ~SmmImageRun();
  SmmImageRun(const SmmImageRun &) = delete;
  SmmImageRun &operator=(const SmmImageRun &) = delete;

  // Loads the driver through the SMM core: its entry point runs on the emulated processor.
  EFI_STATUS Load();
  CpuReport Report() const;
  // A module global of the image by (part of) its linker name, or null without a map entry.
  const void *Global(const std::string &name) const;
  uint64_t ImageBase() const { return reinterpret_cast<uintptr_t>(image_); }

private:
  void Serve(uint64_t trap);

  SmmBoard &board_;
  uint8_t *image_ = nullptr;
  uint64_t image_size_ = 0;
  uint8_t *stack_ = nullptr;
  uint64_t entry_ = 0;
  std::vector<std::pair<std::string, uint32_t>> symbols_;
  CpuEmulator cpu_;
  GuestAbi abi_;
};

} // namespace sim::emu
