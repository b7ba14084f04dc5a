#include "sim/devices/chip/chip_timeline.h"

namespace sim {

void ChipTimeline::Note(Mark mark) {
  std::optional<uint64_t> &at = marks_[static_cast<size_t>(mark)];
  if (!at) {
    at = clock_.NowNs();
  }
  Touch();
}

void ChipTimeline::Reset() {
  marks_.fill(std::nullopt);
  last_ns_.reset();
}

} // namespace sim
