#include "sim/emu/smm_image.h"

#include <cstring>
#include <new>

#include "sim/emu/link_map.h"
#include "sim/pi/pe_image.h"

namespace sim::emu {

namespace {
constexpr uint64_t kPage = 0x1000;
constexpr uint64_t kReturnTrap = SmmImageRun::kTrapPage + 0x800;
constexpr uint8_t kStackFill = 0xA5;
constexpr uint32_t kSectionCode = 0x20, kSectionExecute = 0x20000000;
constexpr EFI_STATUS kAbortedCall = 0x8000000000000015ull; // EFI_ABORTED

uint64_t PageRound(uint64_t v) { return (v + kPage - 1) & ~(kPage - 1); }

// Any host function of up to six arguments, called with the Microsoft x64 convention; extra
// arguments are harmless in it (the caller owns the stack area).
using HostFunction = uint64_t(__attribute__((ms_abi)) *)(uint64_t, uint64_t, uint64_t, uint64_t,
                                                         uint64_t, uint64_t);
} // namespace

SmmImageRun::SmmImageRun(SmmBoard &board, const std::vector<uint8_t> &bytes,
                         const std::filesystem::path &linkMap)
    : board_(board), cpu_(board.machine, CpuMode::X64), abi_(cpu_, kReturnTrap) {
  PeImage image(bytes);
  if (image.Machine() != PeImage::kMachineAmd64 || !image.Is64()) {
    throw PeImageError("not an X64 PE32+ image");
  }
  image_size_ = PageRound(image.SizeOfImage());
  image_ = static_cast<uint8_t *>(::operator new(image_size_, std::align_val_t(kPage)));
  stack_ = static_cast<uint8_t *>(::operator new(kStackSize, std::align_val_t(kPage)));
  image.Rebase(ImageBase());
  const std::vector<uint8_t> loaded = image.Loaded();
  std::memset(image_, 0, image_size_);
  std::memcpy(image_, loaded.data(), loaded.size());
  std::memset(stack_, kStackFill, kStackSize);
  entry_ = ImageBase() + image.EntryRva();
  for (const LinkSymbol &s : ReadLinkMap(linkMap)) {
    symbols_.push_back({s.name, s.rva});
  }

  cpu_.MapRam(ImageBase(), image_size_, image_);
  cpu_.MapRam(reinterpret_cast<uintptr_t>(stack_), kStackSize, stack_);
  cpu_.Reserve(kTrapPage, kPage, true);
  cpu_.MapDeviceSpace();
  cpu_.ShareHostMemory();
  for (const PeSection &s : image.Sections()) {
    if ((s.characteristics & (kSectionCode | kSectionExecute)) != 0) {
      cpu_.HookTimeInstructions(ImageBase() + s.virtual_address,
                                ImageBase() + s.virtual_address + s.virtual_size,
                                image_ + s.virtual_address);
    }
  }
  cpu_.SetSp(reinterpret_cast<uintptr_t>(stack_) + kStackSize);
}

SmmImageRun::~SmmImageRun() {
  ::operator delete(image_, std::align_val_t(kPage));
  ::operator delete(stack_, std::align_val_t(kPage));
}

const void *SmmImageRun::Global(const std::string &name) const {
  for (const auto &[symbol, rva] : symbols_) {
    if (symbol.find(name) != std::string::npos && rva < image_size_) {
      return image_ + rva;
    }
  }
  return nullptr;
}

void SmmImageRun::Serve(uint64_t trap) {
  if (!cpu_.IsHostCode(trap)) {
    cpu_.AddError("call to the trap page outside any service", trap);
    throw GuestFault("call to an unassigned trap address");
  }
  const auto function = reinterpret_cast<HostFunction>(static_cast<uintptr_t>(trap));
  abi_.Return(
      function(abi_.Arg(0), abi_.Arg(1), abi_.Arg(2), abi_.Arg(3), abi_.Arg(4), abi_.Arg(5)));
}

EFI_STATUS SmmImageRun::Load() {
  return board_.core.Load([this](EFI_HANDLE handle, EFI_SYSTEM_TABLE *table) -> EFI_STATUS {
    try {
      return abi_.Call(entry_,
                       {reinterpret_cast<uintptr_t>(handle), reinterpret_cast<uintptr_t>(table)},
                       [this](uint64_t trap) { Serve(trap); });
    } catch (const GuestFault &) {
      return kAbortedCall; // the fault is in the processor's error list
    }
  });
}

CpuReport SmmImageRun::Report() const {
  CpuReport r;
  r.instructions = cpu_.Instructions();
  uint64_t untouched = 0;
  while (untouched < kStackSize && stack_[untouched] == kStackFill) {
    ++untouched;
  }
  r.stack_bytes = kStackSize - untouched;
  r.errors = cpu_.Errors();
  r.flash_writes = cpu_.FlashWrites();
  return r;
}

} // namespace sim::emu
