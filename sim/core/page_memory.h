// Large simulated memory (flash, frame memory, RAM) held in host pages that are filled only when
// first touched. A board maps tens of MiB but its boot touches a small part of them; filling all
// of it at construction cost more host time than the whole boot. Zero-filled memory is anonymous
// memory; memory of another fill value is a private copy-on-write mapping of one template of that
// value per process. The bytes stay at one host address for the object's life, so an emulated
// processor can map them directly.
#pragma once

#include <cstddef>
#include <cstdint>

namespace sim {

class PageMemory {
public:
  PageMemory(uint64_t size, uint8_t fill);
  ~PageMemory();
  PageMemory(const PageMemory &) = delete;
  PageMemory &operator=(const PageMemory &) = delete;

  uint8_t *Data() { return data_; }
  const uint8_t *Data() const { return data_; }
  uint64_t Size() const { return size_; }
  uint8_t &operator[](uint64_t offset) { return data_[offset]; }
  uint8_t operator[](uint64_t offset) const { return data_[offset]; }

  // Every byte back to the fill value, at the same host address.
  void Refill();

private:
  void Map(bool fixed);

  uint64_t size_;
  uint8_t fill_;
  uint8_t *data_ = nullptr;
};

} // namespace sim
