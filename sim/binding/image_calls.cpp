#include "sim/binding/image_calls.h"

#include "modules/boot_progress_pei/image/image_draw.h"
#include "sim/binding/image_roles.h"
#include "sim/binding/module_symbols.h"
#include "sim/core/phase_log.h"

namespace sim {

namespace {
ImageCallLog *current_log = nullptr;
} // namespace

std::string ImageCall::why_not() const {
  if (!lookup.section) {
    return lookup.why_not;
  }
  return placement.why_not;
}

ImageCallLog::ImageCallLog(Machine &machine, const FlashDevice &flash)
    : machine_(machine), flash_(flash), previous_(current_log) {
  current_log = this;
}

ImageCallLog::~ImageCallLog() {
  if (current_log == this) {
    current_log = previous_;
  }
}

ImageCallLog *ImageCallLog::Current() { return current_log; }

const ImageLookup &ImageCallLog::Lookup(const EFI_GUID &guid) {
  if (lookups_volumes_ != flash_.Volumes().size()) {
    lookups_.clear();
    lookups_volumes_ = flash_.Volumes().size();
  }
  for (const auto &[name, found] : lookups_) {
    if (GuidEquals(&name, &guid)) {
      return found;
    }
  }
  lookups_.emplace_back(guid, LookUpImage(flash_, guid));
  return lookups_.back().second;
}

ImageCall ImageCallLog::Begin(const EFI_GUID &guid, uint32_t bottom, uint32_t left,
                              uint32_t highPalette) {
  ImageCall call;
  call.guid = guid;
  call.bottom_margin_in = bottom;
  call.left_margin_in = left;
  call.high_palette = highPalette;
  const ImageLookup &found = Lookup(guid);
  if (found.section) {
    call.placement = PlaceBmp(found.bytes, bottom, left, highPalette);
  }
  call.lookup = found;
  call.lookup.bytes.clear();
  const BusCounts &c = machine_.bus.Counts();
  call.io_reads = c.io.reads;
  call.io_writes = c.io.writes;
  call.mmio_reads = c.mmio.reads;
  call.mmio_writes = c.mmio.writes;
  call.start_us = machine_.clock.NowUs();
  if (PhaseLog *phases = PhaseLog::Current()) {
    const ImageRole *role = FindImageRole(guid);
    phases->Begin(role ? "DrawImageFile " + role->name : "DrawImageFile");
  }
  return call;
}

void ImageCallLog::End(ImageCall call, uint32_t bottom, uint32_t left) {
  if (PhaseLog *phases = PhaseLog::Current()) {
    phases->End();
  }
  const BusCounts &c = machine_.bus.Counts();
  call.io_reads = c.io.reads - call.io_reads;
  call.io_writes = c.io.writes - call.io_writes;
  call.mmio_reads = c.mmio.reads - call.mmio_reads;
  call.mmio_writes = c.mmio.writes - call.mmio_writes;
  call.cost_us = machine_.clock.NowUs() - call.start_us;
  call.bottom_margin_out = bottom;
  call.left_margin_out = left;
  calls_.push_back(std::move(call));
}

} // namespace sim

// The module's calls arrive here when the executable is linked with --wrap on DrawImageFile's
// symbol (generated from sim/binding/phase_functions.h, see sim/CMakeLists.txt).
EFI_STATUS RealDrawImageFile(const EFI_PEI_SERVICES **peiServices, const EFI_GUID *fileGuid,
                             uint32_t *bottomMargin, uint32_t *leftMargin,
                             uint32_t highPalette) asm("__real_" MODULE_SYMBOL_DrawImageFile);
EFI_STATUS WrapDrawImageFile(const EFI_PEI_SERVICES **peiServices, const EFI_GUID *fileGuid,
                             uint32_t *bottomMargin, uint32_t *leftMargin,
                             uint32_t highPalette) asm("__wrap_" MODULE_SYMBOL_DrawImageFile);

EFI_STATUS WrapDrawImageFile(const EFI_PEI_SERVICES **peiServices, const EFI_GUID *fileGuid,
                             uint32_t *bottomMargin, uint32_t *leftMargin, uint32_t highPalette) {
  sim::ImageCallLog *log = sim::ImageCallLog::Current();
  if (log == nullptr || fileGuid == nullptr || bottomMargin == nullptr || leftMargin == nullptr) {
    return RealDrawImageFile(peiServices, fileGuid, bottomMargin, leftMargin, highPalette);
  }
  sim::ImageCall call = log->Begin(*fileGuid, *bottomMargin, *leftMargin, highPalette);
  const EFI_STATUS status =
      RealDrawImageFile(peiServices, fileGuid, bottomMargin, leftMargin, highPalette);
  log->End(std::move(call), *bottomMargin, *leftMargin);
  return status;
}
