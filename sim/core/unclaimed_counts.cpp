#include "sim/core/unclaimed_counts.h"

namespace sim {

size_t UnclaimedCounts::Home(int space, uint64_t addr) const {
  const uint64_t h = (addr ^ (static_cast<uint64_t>(space) << 63)) * 0x9E3779B97F4A7C15ull;
  return static_cast<size_t>(h >> 40) & (slots_.size() - 1);
}

UnclaimedCounts::Entry *UnclaimedCounts::Find(int space, uint64_t addr) {
  if (slots_.empty()) {
    return nullptr;
  }
  for (size_t i = Home(space, addr);; i = (i + 1) & (slots_.size() - 1)) {
    Entry &e = slots_[i];
    if (e.space < 0) {
      return nullptr;
    }
    if (e.space == space && e.addr == addr) {
      return &e;
    }
  }
}

void UnclaimedCounts::Grow() {
  std::vector<Entry> old = std::move(slots_);
  slots_.assign(old.empty() ? 64 : old.size() * 2, Entry{});
  for (const Entry &e : old) {
    if (e.space >= 0) {
      size_t i = Home(e.space, e.addr);
      while (slots_[i].space >= 0) {
        i = (i + 1) & (slots_.size() - 1);
      }
      slots_[i] = e;
    }
  }
}

UnclaimedCounts::Entry *UnclaimedCounts::Insert(int space, uint64_t addr, uint32_t where) {
  if (2 * (size_ + 1) > slots_.size()) {
    Grow();
  }
  size_t i = Home(space, addr);
  while (slots_[i].space >= 0) {
    i = (i + 1) & (slots_.size() - 1);
  }
  ++size_;
  slots_[i] = {addr, 0, where, static_cast<int8_t>(space)};
  return &slots_[i];
}

void UnclaimedCounts::Add(int space, uint64_t addr, unsigned width, uint64_t count,
                          uint32_t where) {
  uint64_t i = 0;
  for (; i < count && size_ < kMaxKept; ++i) {
    Entry *e = Find(space, addr + i * width);
    if (e == nullptr) {
      e = Insert(space, addr + i * width, where);
    }
    ++e->count;
  }
  if (i == count) {
    return;
  }
  // Full: only kept addresses count. A long run (a fill of a frame buffer that moved) takes one
  // pass over the table instead of a look-up per access.
  const uint64_t first = addr + i * width, rest = count - i;
  if (rest < kMaxSlots / 8) {
    for (uint64_t k = 0; k < rest; ++k) {
      if (Entry *e = Find(space, first + k * width)) {
        ++e->count;
      }
    }
    return;
  }
  for (Entry &e : slots_) {
    if (e.space == space && e.addr >= first && (e.addr - first) % width == 0 &&
        (e.addr - first) / width < rest) {
      ++e.count;
    }
  }
}

} // namespace sim
