// The board's boot flash: read-only memory over the top 16 MiB of the 4 GiB space
// (0xFF000000 to 0xFFFFFFFF), any access width. It holds firmware volumes at their base
// addresses; flash no volume covers reads as erased (0xFF). Writes are dropped and counted as
// guest errors: the board's flash is read-only while PEI runs from it.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "sim/core/bus.h"
#include "sim/core/page_memory.h"
#include "sim/pi/ffs_walk.h"

namespace sim {

class FlashDevice : public Device {
public:
  static constexpr uint64_t kBase = 0xFF000000;
  static constexpr uint64_t kSize = 0x1000000;
  static constexpr uint8_t kErased = 0xFF;

  explicit FlashDevice(Bus &bus);

  struct Volume {
    uint64_t base;
    uint64_t size;
    std::string name;
  };
  // Places `bytes` at `base`. Throws std::invalid_argument when they leave the flash or overlap a
  // volume already placed.
  void Load(uint64_t base, const std::vector<uint8_t> &bytes, const std::string &name);
  const std::vector<Volume> &Volumes() const { return volumes_; }

  // The flash's bytes as loaded, to be shared read-only by other boards of the same contents.
  std::shared_ptr<const PageMemory> Image() const { return bytes_; }
  // Takes the bytes and volumes of another board's flash instead of its own: the bytes are shared
  // (flash is read-only, so sharing them is reading the same chip), and no host page is touched
  // again for them. Only a flash with nothing loaded may adopt, and an adopted flash loads no more.
  void Adopt(std::shared_ptr<const PageMemory> image, std::vector<Volume> volumes);

  // Contents without bus cost, for the simulator's own inspection (reports, checks).
  uint8_t Byte(uint64_t address) const { return (*bytes_)[address - kBase]; }
  FlashView View() const;
  // Whether no volume covers any byte of [address, address + size): such flash reads erased.
  bool Erased(uint64_t address, uint64_t size) const;
  uint64_t RejectedWrites() const { return rejected_writes_; }
  // The flash's bytes, for an emulated processor that maps them read-only and executes from them
  // (it puts back what a dropped store changed). A flash that shares its bytes has none to give.
  uint8_t *Storage();

  // Flash keeps its contents; a reset changes nothing.
  void Reset() override {}

private:
  std::shared_ptr<PageMemory> own_; // null once adopted
  std::shared_ptr<const PageMemory> bytes_;
  Region region_;
  std::vector<Volume> volumes_;
  uint64_t rejected_writes_ = 0;
};

} // namespace sim
