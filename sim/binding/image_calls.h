// A record of every DrawImageFile call of a simulated boot. Executables that link the module with
// the simulator wrap the function at link time (ld --wrap), so calls from the module reach
// __wrap_DrawImageFile here, which measures the real call and describes it; module code carries
// no hook.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "sim/core/machine.h"
#include "sim/devices/memory/flash.h"
#include "sim/screen/bmp_inspect.h"
#include "sim/screen/image_lookup.h"

namespace sim {

struct ImageCall {
  EFI_GUID guid{};
  uint32_t bottom_margin_in = 0, left_margin_in = 0, high_palette = 0;
  uint32_t bottom_margin_out = 0, left_margin_out = 0;
  ImageLookup lookup;     // bytes dropped once described
  BmpPlacement placement; // valid when lookup.section
  uint64_t io_reads = 0, io_writes = 0, mmio_reads = 0, mmio_writes = 0;
  double start_us = 0, cost_us = 0;
  bool drawn() const { return lookup.section && placement.draws_pixels && placement.status == 0; }
  std::string why_not() const;
};

class ImageCallLog {
public:
  ImageCallLog(Machine &machine, const FlashDevice &flash);
  ~ImageCallLog();
  ImageCallLog(const ImageCallLog &) = delete;
  ImageCallLog &operator=(const ImageCallLog &) = delete;

  // The log of the board being booted, or null.
  static ImageCallLog *Current();

  const std::vector<ImageCall> &Calls() const { return calls_; }

  // Used by the wrapper around each call.
  ImageCall Begin(const EFI_GUID &guid, uint32_t bottom, uint32_t left, uint32_t highPalette);
  void End(ImageCall call, uint32_t bottom, uint32_t left);

private:
  // Flash is read-only: a file found once is where it was, while the same volumes are loaded.
  const ImageLookup &Lookup(const EFI_GUID &guid);

  Machine &machine_;
  const FlashDevice &flash_;
  std::vector<ImageCall> calls_;
  std::vector<std::pair<EFI_GUID, ImageLookup>> lookups_;
  size_t lookups_volumes_ = 0; // flash volumes loaded when lookups_ was filled
  ImageCallLog *previous_;
};

} // namespace sim
