// The BMC chip's DRAM: `size` bytes from internal address 0x80000000, where the decode reaches to
// the top of the internal space and addresses wrap modulo the size (a smaller memory answers at
// every multiple of its size). It works only once the memory controller has completed a PHY
// initialisation: before that, reads are all ones and writes are lost.
//
// Contents are kept sparsely, in 64 KiB pages allocated on the first write to them, except the top
// `bar0Size` bytes, which are one block (the frame buffer, written whole by every boot); memory
// never written reads 0. A reset (power cycle) loses the contents.
//
// The display controller's frame-buffer BAR shows the top `bar0Size` bytes of this DRAM, so the
// DRAM is also the VideoMemory behind BAR0 and what the display engine scans out; while the DRAM
// is not up the engine reads nothing from it (ReadBytes gives 0).
#pragma once

#include <array>
#include <memory>
#include <unordered_map>
#include <vector>

#include "sim/core/bus.h"
#include "sim/core/page_memory.h"
#include "sim/devices/vga/video_memory.h"

namespace sim {

class ChipDram : public Device, public VideoMemory {
public:
  static constexpr uint64_t kPageSize = 0x10000;
  static constexpr uint64_t kDefaultBar0Size = 16ull << 20;

  // `upAtPowerOn`: the BMC brought the memory up before the host runs.
  ChipDram(Bus &bus, uint64_t size, bool upAtPowerOn, uint64_t bar0Size = kDefaultBar0Size);

  // The leaf placed at internal address 0x80000000.
  Region &InternalLeaf() { return internal_; }
  uint64_t DramSize() const { return size_; }
  bool Up() const { return up_; }
  // The memory controller completed a PHY initialisation.
  void BringUp() { up_ = true; }
  size_t PagesAllocated() const { return pages_.size(); }
  // Model side, for reports and tests: `count` bytes from DRAM offset `offset` (wrapping), whether
  // or not the memory is up.
  void Peek(uint64_t offset, uint8_t *out, size_t count) const;
  // Model side: the bytes BAR0 shows, as stored (what the bus reads only once the memory is up).
  uint8_t *Data() { return top_.Data(); }
  const uint8_t *Data() const { return top_.Data(); }

  // VideoMemory: the frame-buffer BAR.
  Region &Bar0Leaf() override { return bar0_; }
  uint64_t Size() const override { return bar0_size_; }
  void ReadBytes(uint64_t offset, uint8_t *out, size_t count) const override;

  void Reset() override;

private:
  using Page = std::array<uint8_t, kPageSize>;
  uint64_t Load(uint64_t offset, unsigned width);
  void Store(uint64_t offset, unsigned width, uint64_t value);
  void Fill(uint64_t offset, unsigned width, uint64_t count, uint64_t value);
  const Page *FindPage(uint64_t pageNumber) const;
  Page &PageFor(uint64_t pageNumber);

  uint64_t size_;
  uint64_t bar0_size_;
  bool up_at_power_on_;
  bool up_;
  PageMemory top_; // DRAM offsets from size_ - bar0_size_
  std::unordered_map<uint64_t, std::unique_ptr<Page>> pages_;
  Page *last_page_ = nullptr; // the page of the last write, for runs of writes into one page
  uint64_t last_page_number_ = 0;
  Region internal_;
  Region bar0_;
};

} // namespace sim
