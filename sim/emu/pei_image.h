// BootProgressPei's firmware image on the simulated board: the image executes in place from a
// firmware volume in the flash model, on an emulated IA32 processor, with the PEI core's tables,
// PPIs, descriptors and HOB list in guest memory.
//
// Guest memory: temporary RAM (scenario key "temp_ram_size", default 256 KiB, at 0xFEF00000)
// holds the HOB list at its bottom, then the core's tables and the IDT, an unmapped guard page,
// and the stack up to its top. Each table entry points into a trap page (0xFEEFF000, unmapped):
// a call there stops the processor and the simulator's PEI core serves it, with the cdecl
// arguments from the guest stack and the result in EAX. The module's volume sits at scenario key
// "image_volume_base" (default 0xFFFF0000, the top 64 KiB, which holds no image volume).
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <vector>

#include "sim/emu/cpu_emulator.h"
#include "sim/emu/cpu_report.h"
#include "sim/emu/guest_abi.h"
#include "sim/pei/pei_board.h"
#include "sim/pi/pe_image.h"

namespace sim::emu {

struct PeiImageLayout {
  static constexpr uint64_t kTempRamBase = 0xFEF00000;
  static constexpr uint64_t kTempRamMax = 0x100000;    // up to the flash
  static constexpr uint64_t kDefaultTempRam = 0x40000; // 256 KiB
  static constexpr uint64_t kTrapPage = 0xFEEFF000;
  static constexpr uint64_t kCoreArea = 0x4000; // tables, descriptors, GUIDs, IDT
  static constexpr uint64_t kMinStack = 0x2000;
  static constexpr uint64_t kDefaultVolumeBase = 0xFFFF0000;

  uint64_t temp_ram_size = kDefaultTempRam;
  uint64_t volume_base = kDefaultVolumeBase;
  size_t hob_capacity = 0;
};

// Reads the image run's keys; throws ScenarioError for sizes that do not fit.
PeiImageLayout ParsePeiImageLayout(const Scenario &scenario);

// The module's volume: one PEIM file holding `image`, rebased to execute in place at `base`.
struct PeimVolume {
  std::vector<uint8_t> bytes;
  uint64_t base;
  uint64_t file;       // flash address of the FFS file (the PEIM's file handle)
  uint64_t image;      // flash address of the PE32 image
  uint64_t entry;      // flash address of the entry point
  uint64_t image_size; // SizeOfImage
  std::vector<std::pair<uint64_t, uint64_t>> code; // executable sections, as flash ranges
};
// File name of the module in its volume.
inline constexpr EFI_GUID kBootProgressPeiFileGuid = {
    0x5B3D6E7A, 0x41C2, 0x4D8E, {0x9A, 0x67, 0x1F, 0x30, 0xC8, 0x55, 0xB2, 0x0D}};
PeimVolume PackPeimVolume(const std::vector<uint8_t> &image, uint64_t base);

class PeiImageBinding final : public PeiCoreBinding {
public:
  // Where the image's functions are whose calls a host build logs by wrapping them at link time:
  // DrawImageFile and EnableGraphicsController.
  // A module function timed as a phase of the boot, and where the image has it.
  struct PhaseFunction {
    std::string name;
    uint32_t rva;
  };
  struct ObservedFunctions {
    std::optional<uint32_t> draw_image_file;
    std::optional<uint32_t> enable_graphics_controller;
    std::vector<PhaseFunction> phases; // timed as the host build's link-time wrappers time them
  };
  PeiImageBinding(PeiBoard &board, const PeiImageLayout &layout, const PeimVolume &volume,
                  const ObservedFunctions &observed);
  ~PeiImageBinding() override;

  GuestMemory &Memory() override { return memory_; }
  uint64_t Allocate(size_t size) override;
  uint64_t Function(PeiFunction function) override;
  HobMemory HobArea(size_t capacity) override;
  void PublishServices(uint64_t services) override;
  EFI_STATUS CallEntry(uint64_t entry, uint64_t fileHandle, uint64_t services) override;
  EFI_STATUS CallNotify(uint64_t notify, uint64_t services, uint64_t descriptor,
                        uint64_t ppi) override;

  CpuEmulator &Cpu() { return cpu_; }
  CpuReport Report() const;
  uint64_t StackTop() const { return stack_top_; }

private:
  EFI_STATUS CallGuest(uint64_t function, const std::vector<uint64_t> &args);
  void Serve(uint64_t trap);
  void OnDrawImageFile();
  void OnDrawImageFileReturn();
  void OnEnableGraphicsController();
  void OnEnableGraphicsControllerReturn();
  void OnPhaseEntry(const std::string &name);
  void OnPhaseReturn();

  PeiBoard &board_;
  PeiImageLayout layout_;
  uint8_t *ram_ = nullptr; // temporary RAM, page-aligned
  uint64_t core_next_, core_end_, idt_, stack_base_, stack_top_;
  CpuEmulator cpu_;
  EmulatedMemory memory_;
  GuestAbi abi_;
  struct PendingDraw {
    ImageCall call;
    uint64_t back, bottom, left;
  };
  std::vector<PendingDraw> draws_;
  struct PendingEnable {
    double start_us;
    uint64_t back;
  };
  std::vector<PendingEnable> enables_;
  std::vector<uint64_t> phase_returns_; // where each open phase's function returns to
};

// A board set up for an image run: the module's volume in flash and the binding.
struct PeiImageRun {
  PeimVolume volume;
  std::unique_ptr<PeiBoard> board;
  PeiImageBinding *binding; // owned by the board
  EFI_STATUS Load();        // runs the entry point, as RunPeiBoot's load step
};
// Throws ScenarioError for scenario keys, PeImageError or FvBuildError for the image.
PeiImageRun MakePeiImageRun(const Scenario &scenario, const std::vector<uint8_t> &image,
                            const std::filesystem::path &linkMap);

} // namespace sim::emu
