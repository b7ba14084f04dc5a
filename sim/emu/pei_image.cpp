#include "sim/emu/pei_image.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>
#include <stdexcept>
#include <unicorn/unicorn.h>

#include "sim/binding/enable_calls.h"
#include "sim/binding/phase_functions.h"
#include "sim/core/phase_log.h"
#include "sim/emu/link_map.h"
#include "sim/pei/pei_boot.h"
#include "sim/pi/fv_builder.h"

namespace sim::emu {

namespace {
constexpr uint64_t kPage = 0x1000;
constexpr uint64_t kTrapStride = 16;
constexpr uint64_t kReturnTrap = PeiImageLayout::kTrapPage + 0x800;
constexpr uint64_t kDrawReturnTrap = PeiImageLayout::kTrapPage + 0x810;
constexpr uint64_t kEnableReturnTrap = PeiImageLayout::kTrapPage + 0x820;
constexpr uint64_t kPhaseReturnTrap = PeiImageLayout::kTrapPage + 0x830;
constexpr uint32_t kIdtLimit = 256 * 8 - 1; // 256 gate descriptors of 8 bytes
constexpr uint8_t kStackFill = 0xA5;        // what untouched stack holds
constexpr uint32_t kSectionCode = 0x20, kSectionExecute = 0x20000000;
constexpr EFI_STATUS kAbortedCall = 0x8000000000000015ull; // EFI_ABORTED

uint64_t AlignUp(uint64_t v, uint64_t a) { return (v + a - 1) / a * a; }

uint32_t Read24(const std::vector<uint8_t> &b, size_t at) {
  return b[at] | b[at + 1] << 8 | b[at + 2] << 16;
}
} // namespace

PeiImageLayout ParsePeiImageLayout(const Scenario &s) {
  PeiImageLayout layout;
  layout.hob_capacity = s.hob_capacity;
  if (s.raw.contains("temp_ram_size")) {
    layout.temp_ram_size = ScenarioInteger(s.raw["temp_ram_size"], s.source, "temp_ram_size", 0,
                                           PeiImageLayout::kTempRamMax);
  }
  const uint64_t fixed = AlignUp(layout.hob_capacity, kPage) + PeiImageLayout::kCoreArea + kPage;
  if (layout.temp_ram_size % kPage != 0 || layout.temp_ram_size > PeiImageLayout::kTempRamMax ||
      layout.temp_ram_size < fixed + PeiImageLayout::kMinStack) {
    throw ScenarioError(s.source, "temp_ram_size",
                        "a multiple of 4 KiB, at most 1 MiB, with room for hob_capacity (" +
                            std::to_string(layout.hob_capacity) + "), " +
                            std::to_string(fixed - AlignUp(layout.hob_capacity, kPage)) +
                            " bytes of core tables and guard, and an 8 KiB stack");
  }
  if (s.raw.contains("image_volume_base")) {
    constexpr uint64_t kLastVolumeBase = 0x100000000 - kPage;
    layout.volume_base = ScenarioInteger(s.raw["image_volume_base"], s.source, "image_volume_base",
                                         FlashDevice::kBase, kLastVolumeBase);
    if (layout.volume_base % kPage != 0) {
      throw ScenarioError(s.source, "image_volume_base",
                          "a multiple of 0x1000 from 0xFF000000 to 0xFFFFF000, got " +
                              s.raw["image_volume_base"].dump().substr(0, 80));
    }
  }
  return layout;
}

PeimVolume PackPeimVolume(const std::vector<uint8_t> &imageBytes, uint64_t base) {
  FvManifest manifest;
  manifest.base = base;
  manifest.files.push_back({kBootProgressPeiFileGuid, EFI_FV_FILETYPE_PEIM, imageBytes, "image"});
  PeimVolume v;
  v.bytes = BuildFirmwareVolume(manifest);
  v.base = base;
  const size_t headerLength = v.bytes[0x30] | v.bytes[0x31] << 8;
  const size_t file = AlignUp(headerLength, 8);
  v.file = base + file;
  const size_t fileEnd = file + Read24(v.bytes, file + 20);
  for (size_t at = file + sizeof(EFI_FFS_FILE_HEADER); at + 4 <= fileEnd;) {
    const uint32_t size = Read24(v.bytes, at);
    if (v.bytes[at + 3] == EFI_SECTION_PE32) {
      v.image = base + at + 4;
      const PeImage image(
          std::vector<uint8_t>(v.bytes.begin() + at + 4, v.bytes.begin() + at + size));
      v.entry = v.image + image.EntryRva();
      v.image_size = image.SizeOfImage();
      for (const PeSection &s : image.Sections()) {
        if ((s.characteristics & (kSectionCode | kSectionExecute)) != 0) {
          v.code.push_back({v.image + s.virtual_address, v.image + s.virtual_address + s.raw_size});
        }
      }
      return v;
    }
    at = AlignUp(at + std::max<uint32_t>(size, 4), 4);
  }
  throw FvBuildError("the packed volume holds no PE32 section");
}

PeiImageBinding::PeiImageBinding(PeiBoard &board, const PeiImageLayout &layout,
                                 const PeimVolume &volume, const ObservedFunctions &observed)
    : board_(board), layout_(layout), cpu_(board.machine, CpuMode::Ia32), memory_(cpu_),
      abi_(cpu_, kReturnTrap) {
  const uint64_t base = PeiImageLayout::kTempRamBase;
  const uint64_t size = layout.temp_ram_size;
  ram_ = static_cast<uint8_t *>(::operator new(size, std::align_val_t(kPage)));
  std::memset(ram_, 0, size);
  const uint64_t hobEnd = base + AlignUp(layout.hob_capacity, kPage);
  core_next_ = hobEnd;
  core_end_ = hobEnd + PeiImageLayout::kCoreArea;
  stack_base_ = core_end_ + kPage; // above the guard page
  stack_top_ = base + size;
  std::memset(ram_ + (stack_base_ - base), kStackFill, stack_top_ - stack_base_);

  cpu_.MapRam(base, core_end_ - base, ram_);
  cpu_.Reserve(core_end_, kPage, false); // guard: a stack overflow faults here
  cpu_.MapRam(stack_base_, stack_top_ - stack_base_, ram_ + (stack_base_ - base));
  memory_.AddRam(base, core_end_ - base);
  memory_.AddRam(stack_base_, stack_top_ - stack_base_);
  cpu_.MapFlash(FlashDevice::kBase, FlashDevice::kSize, board.flash.Storage(), volume.image,
                volume.image + volume.image_size);
  cpu_.Reserve(PeiImageLayout::kTrapPage, kPage, true);
  cpu_.MapDeviceSpace();
  for (const auto &[start, end] : volume.code) {
    cpu_.HookTimeInstructions(start, end, volume.bytes.data() + (start - volume.base));
  }
  // The IDT, with the services slot in the word below it.
  idt_ = AlignUp(Allocate(kIdtLimit + 1 + 8) + 4, 8);
  cpu_.SetIdtr(idt_, kIdtLimit);
  cpu_.SetSp(stack_top_);
  if (observed.draw_image_file) {
    cpu_.AddCodeHook(volume.image + *observed.draw_image_file,
                     [this](uint64_t) { OnDrawImageFile(); });
  }
  if (observed.enable_graphics_controller) {
    cpu_.AddCodeHook(volume.image + *observed.enable_graphics_controller,
                     [this](uint64_t) { OnEnableGraphicsController(); });
  }
  for (const PhaseFunction &f : observed.phases) {
    cpu_.AddCodeHook(volume.image + f.rva, [this, name = f.name](uint64_t) { OnPhaseEntry(name); });
  }
}

PeiImageBinding::~PeiImageBinding() { ::operator delete(ram_, std::align_val_t(kPage)); }

uint64_t PeiImageBinding::Allocate(size_t size) {
  const uint64_t at = AlignUp(core_next_, 8);
  if (at + size > core_end_) {
    throw std::length_error("the PEI core's table area is full");
  }
  core_next_ = at + size;
  std::memset(ram_ + (at - PeiImageLayout::kTempRamBase), 0, size);
  return at;
}

uint64_t PeiImageBinding::Function(PeiFunction function) {
  return PeiImageLayout::kTrapPage + static_cast<uint64_t>(function) * kTrapStride;
}

PeiCoreBinding::HobMemory PeiImageBinding::HobArea(size_t capacity) {
  if (capacity > layout_.hob_capacity) {
    throw std::length_error("HOB capacity beyond the layout");
  }
  return {ram_, PeiImageLayout::kTempRamBase};
}

void PeiImageBinding::PublishServices(uint64_t services) {
  cpu_.WriteMemory(idt_ - 4, services, 4);
}

EFI_STATUS PeiImageBinding::CallGuest(uint64_t function, const std::vector<uint64_t> &args) {
  try {
    const uint64_t status = abi_.Call(function, args, [this](uint64_t trap) { Serve(trap); });
    return StatusFromGuest(status, 4);
  } catch (const GuestFault &) {
    return kAbortedCall; // the fault is in the CPU's error list; the caller carries on
  }
}

EFI_STATUS PeiImageBinding::CallEntry(uint64_t entry, uint64_t fileHandle, uint64_t services) {
  return CallGuest(entry, {fileHandle, services});
}

EFI_STATUS PeiImageBinding::CallNotify(uint64_t notify, uint64_t services, uint64_t descriptor,
                                       uint64_t ppi) {
  return CallGuest(notify, {services, descriptor, ppi});
}

void PeiImageBinding::Serve(uint64_t trap) {
  if (trap == kDrawReturnTrap) {
    OnDrawImageFileReturn();
    return;
  }
  if (trap == kEnableReturnTrap) {
    OnEnableGraphicsControllerReturn();
    return;
  }
  if (trap == kPhaseReturnTrap) {
    OnPhaseReturn();
    return;
  }
  PeiCore &core = board_.core;
  auto arg = [this](unsigned i) { return abi_.Arg(i); };
  auto status = [](EFI_STATUS s) { return StatusToGuest(s, 4); };
  const uint64_t index = (trap - PeiImageLayout::kTrapPage) / kTrapStride;
  if ((trap - PeiImageLayout::kTrapPage) % kTrapStride != 0 ||
      index >= static_cast<uint64_t>(PeiFunction::kCount)) {
    cpu_.AddError("call to the trap page outside any service", trap);
    throw GuestFault("call to an unassigned trap address");
  }
  uint64_t result = 0;
  switch (static_cast<PeiFunction>(index)) {
  case PeiFunction::InstallPpi:
    core.Called("InstallPpi");
    result = status(core.InstallPpiAt(arg(1)));
    break;
  case PeiFunction::LocatePpi:
    core.Called("LocatePpi", arg(2));
    result = status(core.LocatePpiAt(arg(1), arg(2), arg(3), arg(4)));
    break;
  case PeiFunction::NotifyPpi:
    core.Called("NotifyPpi");
    result = status(core.NotifyPpiAt(arg(1)));
    break;
  case PeiFunction::GetBootMode:
    result = status(core.GetBootModeAt(arg(1)));
    break;
  case PeiFunction::GetHobList:
    result = status(core.GetHobListAt(arg(1)));
    break;
  case PeiFunction::CreateHob:
    result = status(
        core.CreateHobAt(static_cast<uint16_t>(arg(1)), static_cast<uint16_t>(arg(2)), arg(3)));
    break;
  case PeiFunction::FfsFindNextFile:
    result = status(core.FfsFindNextFileAt(static_cast<uint8_t>(arg(1)), arg(2), arg(3)));
    break;
  case PeiFunction::FfsFindSectionData:
    result = status(core.FfsFindSectionDataAt(static_cast<uint8_t>(arg(1)), arg(2), arg(3)));
    break;
  case PeiFunction::CopyMem:
    core.CopyMemAt(arg(0), arg(1), arg(2));
    break;
  case PeiFunction::SetMem:
    core.SetMemAt(arg(0), arg(1), static_cast<uint8_t>(arg(2)));
    break;
  case PeiFunction::Stall:
    result = status(core.StallFor(arg(2)));
    break;
  case PeiFunction::PcdGet32:
    result = core.PcdGet("PcdGet32", arg(0)) & 0xFFFFFFFFu;
    break;
  case PeiFunction::PcdGet64:
    result = core.PcdGet("PcdGet64", arg(0));
    break;
  case PeiFunction::PcdGetPtr:
    result = core.PcdGet("PcdGetPtr", arg(0)) & 0xFFFFFFFFu;
    break;
  case PeiFunction::IpmiSubmitCommand:
    result = status(core.IpmiSubmitAt(static_cast<uint8_t>(arg(1)), static_cast<uint8_t>(arg(2)),
                                      static_cast<uint8_t>(arg(3)), arg(4),
                                      static_cast<uint32_t>(arg(5)), arg(6), arg(7)));
    break;
  case PeiFunction::kCount:
    break;
  }
  abi_.Return(result);
}

// DrawImageFile(services, guid, bottom, left, highPalette): logged as the host build's link-time
// wrapper logs it, by diverting its return through a trap.
void PeiImageBinding::OnDrawImageFile() {
  ImageCallLog *log = ImageCallLog::Current();
  const uint64_t sp = cpu_.Sp();
  const uint64_t guid = cpu_.ReadMemory(sp + 8, 4);
  const uint64_t bottom = cpu_.ReadMemory(sp + 12, 4);
  const uint64_t left = cpu_.ReadMemory(sp + 16, 4);
  const uint32_t high = static_cast<uint32_t>(cpu_.ReadMemory(sp + 20, 4));
  if (log == nullptr || guid == 0 || bottom == 0 || left == 0) {
    return;
  }
  const ImageCall call =
      log->Begin(memory_.ReadGuid(guid), static_cast<uint32_t>(cpu_.ReadMemory(bottom, 4)),
                 static_cast<uint32_t>(cpu_.ReadMemory(left, 4)), high);
  draws_.push_back({call, cpu_.ReadMemory(sp, 4), bottom, left});
  cpu_.WriteMemory(sp, kDrawReturnTrap, 4);
}

void PeiImageBinding::OnDrawImageFileReturn() {
  PendingDraw d = std::move(draws_.back());
  draws_.pop_back();
  if (ImageCallLog *log = ImageCallLog::Current()) {
    log->End(std::move(d.call), static_cast<uint32_t>(cpu_.ReadMemory(d.bottom, 4)),
             static_cast<uint32_t>(cpu_.ReadMemory(d.left, 4)));
  }
  cpu_.SetReg(UC_X86_REG_EIP, d.back);
}

// EnableGraphicsController(state, services): its status and virtual time logged as the host
// build's link-time wrapper logs them, by diverting its return through a trap.
void PeiImageBinding::OnEnableGraphicsController() {
  if (EnableCallLog::Current() == nullptr) {
    return;
  }
  const uint64_t sp = cpu_.Sp();
  if (PhaseLog *phases = PhaseLog::Current()) {
    phases->Begin("EnableGraphicsController");
  }
  enables_.push_back({EnableCallLog::Current()->Now(), cpu_.ReadMemory(sp, 4)});
  cpu_.WriteMemory(sp, kEnableReturnTrap, 4);
}

void PeiImageBinding::OnEnableGraphicsControllerReturn() {
  const PendingEnable e = enables_.back();
  enables_.pop_back();
  if (EnableCallLog *log = EnableCallLog::Current()) {
    log->Record(StatusFromGuest(cpu_.Reg(UC_X86_REG_EAX), 4), e.start_us);
  }
  if (PhaseLog *phases = PhaseLog::Current()) {
    phases->End();
  }
  cpu_.SetReg(UC_X86_REG_EIP, e.back);
}

// A phase opens at its function's first instruction and closes when it returns, through a trap
// put in place of its return address.
void PeiImageBinding::OnPhaseEntry(const std::string &name) {
  PhaseLog *log = PhaseLog::Current();
  if (log == nullptr) {
    return;
  }
  const uint64_t sp = cpu_.Sp();
  log->Begin(name);
  phase_returns_.push_back(cpu_.ReadMemory(sp, 4));
  cpu_.WriteMemory(sp, kPhaseReturnTrap, 4);
}

void PeiImageBinding::OnPhaseReturn() {
  if (phase_returns_.empty()) {
    cpu_.AddError("return through the phase trap with no phase open", kPhaseReturnTrap);
    throw GuestFault("return through the phase trap with no phase open");
  }
  const uint64_t back = phase_returns_.back();
  phase_returns_.pop_back();
  if (PhaseLog *log = PhaseLog::Current()) {
    log->End();
  }
  cpu_.SetReg(UC_X86_REG_EIP, back);
}

CpuReport PeiImageBinding::Report() const {
  CpuReport r;
  r.instructions = cpu_.Instructions();
  const uint8_t *stack = ram_ + (stack_base_ - PeiImageLayout::kTempRamBase);
  const uint64_t size = stack_top_ - stack_base_;
  uint64_t untouched = 0;
  while (untouched < size && stack[untouched] == kStackFill) {
    ++untouched;
  }
  r.stack_bytes = size - untouched;
  r.errors = cpu_.Errors();
  r.flash_writes = cpu_.FlashWrites();
  return r;
}

EFI_STATUS PeiImageRun::Load() { return board->core.RunPeimAt(volume.entry, volume.file); }

PeiImageRun MakePeiImageRun(const Scenario &scenario, const std::vector<uint8_t> &image,
                            const std::filesystem::path &linkMap) {
  const PeiImageLayout layout = ParsePeiImageLayout(scenario);
  if (PeImage(image).Machine() != PeImage::kMachineI386) {
    throw PeImageError("not an IA32 image");
  }
  PeiImageRun run;
  run.volume = PackPeimVolume(image, layout.volume_base);
  const std::vector<LinkSymbol> symbols = ReadLinkMap(linkMap);
  PeiImageBinding::ObservedFunctions observed = {FindSymbol(symbols, "?DrawImageFile@@"),
                                                 FindSymbol(symbols, "?EnableGraphicsController@@"),
                                                 {}};
  std::string missing;
  for (const char *name : kPhaseFunctions) {
    // C++ functions carry their decorated name, the C entry point a leading underscore.
    std::optional<uint32_t> rva = FindSymbol(symbols, std::string("?") + name + "@@");
    if (!rva) {
      rva = FindSymbol(symbols, std::string("_") + name);
    }
    if (rva) {
      observed.phases.push_back({name, *rva});
    } else {
      missing += (missing.empty() ? "" : ", ") + std::string(name);
    }
  }
  // A phase the map does not place would vanish from the timing without a word.
  if (!missing.empty()) {
    throw std::runtime_error("the linker map " + linkMap.string() + " lacks the phase functions " +
                             missing);
  }
  PeiImageBinding *binding = nullptr;
  run.board = std::make_unique<PeiBoard>(scenario, [&](PeiBoard &b) {
    b.flash.Load(run.volume.base, run.volume.bytes, "BootProgressPei image volume");
    auto made = std::make_unique<PeiImageBinding>(b, layout, run.volume, observed);
    binding = made.get();
    return made;
  });
  run.binding = binding;
  return run;
}

} // namespace sim::emu
