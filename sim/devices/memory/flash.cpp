#include "sim/devices/memory/flash.h"
#include "sim/core/hex_text.h"

#include <algorithm>
#include <cstdio>
#include <stdexcept>

namespace sim {

FlashDevice::FlashDevice(Bus &bus)
    : Device(bus, "flash"), own_(std::make_shared<PageMemory>(kSize, kErased)), bytes_(own_),
      region_(Region::Leaf(
          this, "flash", kSize,
          [this](uint64_t offset, unsigned width) {
            uint64_t v = 0;
            for (unsigned i = 0; i < width; ++i) {
              v |= static_cast<uint64_t>((*bytes_)[offset + i]) << (8 * i);
            }
            return v;
          },
          [this](uint64_t, unsigned, uint64_t) {
            ++rejected_writes_;
            GuestError();
          })) {
  SetBulkMemory();
  bus.MapFixed(Space::Memory, kBase, &region_);
}

void FlashDevice::Load(uint64_t base, const std::vector<uint8_t> &bytes, const std::string &name) {
  if (!own_) {
    throw std::logic_error("flash " + name + ": this board shares another board's flash");
  }
  if (bytes.empty() || base < kBase || base - kBase > kSize ||
      bytes.size() > kSize - (base - kBase)) {
    throw std::invalid_argument("volume " + name + " at " + Hex(base) + " (" +
                                std::to_string(bytes.size()) +
                                " bytes) does not lie within the flash, 0xFF000000 to 0xFFFFFFFF");
  }
  for (const Volume &v : volumes_) {
    if (base < v.base + v.size && v.base < base + bytes.size()) {
      throw std::invalid_argument("volume " + name + " at " + Hex(base) + " overlaps volume " +
                                  v.name + " at " + Hex(v.base));
    }
  }
  std::copy(bytes.begin(), bytes.end(), own_->Data() + (base - kBase));
  volumes_.push_back({base, bytes.size(), name});
}

void FlashDevice::Adopt(std::shared_ptr<const PageMemory> image, std::vector<Volume> volumes) {
  if (!own_ || !volumes_.empty() || image == nullptr || image->Size() != kSize) {
    throw std::logic_error("flash: only an empty flash may adopt a whole flash image");
  }
  own_.reset();
  bytes_ = std::move(image);
  volumes_ = std::move(volumes);
}

uint8_t *FlashDevice::Storage() {
  if (!own_) {
    throw std::logic_error("flash: a board that shares its flash cannot hand it to a processor");
  }
  return own_->Data();
}

bool FlashDevice::Erased(uint64_t address, uint64_t size) const {
  for (const Volume &v : volumes_) {
    if (address < v.base + v.size && v.base < address + size) {
      return false;
    }
  }
  return true;
}

FlashView FlashDevice::View() const {
  return {[this](uint64_t address, unsigned width) {
            uint64_t v = 0;
            for (unsigned i = 0; i < width; ++i) {
              const uint64_t a = address + i;
              const uint8_t b = a >= kBase && a - kBase < kSize ? Byte(a) : kErased;
              v |= static_cast<uint64_t>(b) << (8 * i);
            }
            return v;
          },
          kBase, kBase + kSize};
}

} // namespace sim
