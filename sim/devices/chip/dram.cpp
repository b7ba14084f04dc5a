#include "sim/devices/chip/dram.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

#include "sim/devices/chip/chip_regs.h"

namespace sim {

namespace {
uint64_t AllOnes(unsigned width) { return width >= 8 ? ~0ull : (1ull << (8 * width)) - 1; }
bool PowerOfTwo(uint64_t v) { return v != 0 && (v & (v - 1)) == 0; }
} // namespace

ChipDram::ChipDram(Bus &bus, uint64_t size, bool upAtPowerOn, uint64_t bar0Size)
    : Device(bus, "chip-dram"), size_(size), bar0_size_(bar0Size), up_at_power_on_(upAtPowerOn),
      up_(upAtPowerOn), top_(bar0Size, 0),
      internal_(Region::Leaf(
          this, "chip-dram", chipreg::kDramDecodeSize,
          [this](uint64_t offset, unsigned width) { return Load(offset, width); },
          [this](uint64_t offset, unsigned width, uint64_t value) {
            Store(offset, width, value);
          })),
      bar0_(Region::Leaf(
          this, "chip-dram-bar0", bar0Size,
          [this](uint64_t offset, unsigned width) {
            return Load(size_ - bar0_size_ + offset, width);
          },
          [this](uint64_t offset, unsigned width, uint64_t value) {
            Store(size_ - bar0_size_ + offset, width, value);
          })) {
  if (!PowerOfTwo(size) || !PowerOfTwo(bar0Size) || bar0Size > size) {
    throw std::logic_error("chip DRAM: sizes must be powers of two, BAR0 within the DRAM");
  }
  SetBulkMemory(); // the frame buffer
  internal_.SetFillHandler([this](uint64_t offset, unsigned width, uint64_t count, uint64_t value) {
    Fill(offset, width, count, value);
  });
  bar0_.SetFillHandler([this](uint64_t offset, unsigned width, uint64_t count, uint64_t value) {
    Fill(size_ - bar0_size_ + offset, width, count, value);
  });
}

const ChipDram::Page *ChipDram::FindPage(uint64_t pageNumber) const {
  auto it = pages_.find(pageNumber);
  return it == pages_.end() ? nullptr : it->second.get();
}

ChipDram::Page &ChipDram::PageFor(uint64_t pageNumber) {
  if (last_page_ != nullptr && last_page_number_ == pageNumber) {
    return *last_page_;
  }
  std::unique_ptr<Page> &slot = pages_[pageNumber];
  if (!slot) {
    slot = std::make_unique<Page>();
    slot->fill(0);
  }
  last_page_ = slot.get();
  last_page_number_ = pageNumber;
  return *slot;
}

void ChipDram::Peek(uint64_t offset, uint8_t *out, size_t count) const {
  while (count != 0) {
    const uint64_t at = offset & (size_ - 1);
    const uint64_t inPage = at % kPageSize;
    size_t chunk = static_cast<size_t>(std::min<uint64_t>(count, kPageSize - inPage));
    const Page *page = nullptr;
    if (at >= size_ - bar0_size_) {
      const uint64_t inTop = at - (size_ - bar0_size_);
      chunk = static_cast<size_t>(std::min<uint64_t>(count, bar0_size_ - inTop));
      std::memcpy(out, top_.Data() + inTop, chunk);
    } else if ((page = FindPage(at / kPageSize)) != nullptr) {
      std::memcpy(out, page->data() + inPage, chunk);
    } else {
      std::memset(out, 0, chunk);
    }
    out += chunk;
    offset += chunk;
    count -= chunk;
  }
}

uint64_t ChipDram::Load(uint64_t offset, unsigned width) {
  if (!up_) {
    return AllOnes(width);
  }
  uint8_t bytes[8] = {};
  Peek(offset, bytes, width);
  uint64_t v = 0;
  for (unsigned i = 0; i < width; ++i) {
    v |= uint64_t{bytes[i]} << (8 * i);
  }
  return v;
}

void ChipDram::Store(uint64_t offset, unsigned width, uint64_t value) {
  if (!up_) {
    return;
  }
  const uint64_t top = size_ - bar0_size_;
  const uint64_t first = offset & (size_ - 1);
  if (first >= top && first + width <= size_) { // the frame buffer, whole: bytes in at once
    for (unsigned i = 0; i < width; ++i) {
      top_[first - top + i] = static_cast<uint8_t>(value >> (8 * i));
    }
    return;
  }
  for (unsigned i = 0; i < width; ++i) {
    const uint64_t at = (offset + i) & (size_ - 1);
    const uint8_t byte = static_cast<uint8_t>(value >> (8 * i));
    if (at >= size_ - bar0_size_) {
      top_[at - (size_ - bar0_size_)] = byte;
    } else {
      PageFor(at / kPageSize)[at % kPageSize] = byte;
    }
  }
}

// A run of writes into the frame buffer whose bytes are all one value (a clear) is one memset;
// any other run is stored write by write.
void ChipDram::Fill(uint64_t offset, unsigned width, uint64_t count, uint64_t value) {
  if (!up_) {
    return;
  }
  const uint64_t top = size_ - bar0_size_;
  const uint64_t first = offset & (size_ - 1);
  const uint8_t byte = static_cast<uint8_t>(value);
  if ((0x0101010101010101ull * byte & AllOnes(width)) == value && first >= top &&
      count <= (size_ - first) / width) {
    std::memset(top_.Data() + (first - top), byte, count * width);
    return;
  }
  for (uint64_t i = 0; i < count; ++i) {
    Store(offset + i * width, width, value);
  }
}

void ChipDram::ReadBytes(uint64_t offset, uint8_t *out, size_t count) const {
  std::memset(out, 0, count);
  if (!up_ || offset >= bar0_size_) {
    return;
  }
  Peek(size_ - bar0_size_ + offset, out, std::min<uint64_t>(count, bar0_size_ - offset));
}

void ChipDram::Reset() {
  pages_.clear();
  top_.Refill();
  last_page_ = nullptr;
  up_ = up_at_power_on_;
}

} // namespace sim
