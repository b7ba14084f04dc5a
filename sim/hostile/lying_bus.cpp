#include "sim/hostile/lying_bus.h"

namespace sim {

LyingBus::LyingBus(Bus &bus, Mode mode) : bus_(bus), mode_(mode) { bus_.SetReadInterposer(this); }

LyingBus::~LyingBus() { bus_.SetReadInterposer(nullptr); }

void LyingBus::LieAboutEverything() {
  for (ReadPath path : {ReadPath::Io, ReadPath::Memory, ReadPath::Config, ReadPath::Ipmi}) {
    Lie({path});
  }
}

void LyingBus::Feed(const uint8_t *data, size_t size) {
  data_ = data;
  size_ = size;
  at_ = 0;
  lies_ = 0;
}

bool LyingBus::Targeted(const DeviceRead &read) const {
  for (const Target &t : targets_) {
    if (t.path == read.path && (t.device == nullptr || t.device == read.device) &&
        t.first <= read.addr && read.addr <= t.last) {
      return true;
    }
  }
  return false;
}

uint64_t LyingBus::Answer(const DeviceRead &read, uint64_t honest) {
  if (Exhausted() || !Targeted(read)) {
    return honest;
  }
  if (mode_ == Mode::Choose && (data_[at_++] & 1) == 0) {
    return honest;
  }
  uint64_t value = 0;
  for (unsigned i = 0; i < read.width && i < 8; ++i) {
    const uint64_t byte = at_ < size_ ? data_[at_++] : 0;
    value |= byte << (8 * i);
  }
  ++lies_;
  return value;
}

} // namespace sim
