#include "sim/devices/vga/video_ram.h"

#include <algorithm>
#include <cstring>

namespace sim {

void VideoRam::ReadBytes(uint64_t offset, uint8_t *out, size_t count) const {
  const uint64_t size = Size();
  const size_t inside =
      offset >= size ? 0 : static_cast<size_t>(std::min<uint64_t>(count, size - offset));
  if (inside != 0) {
    std::memcpy(out, Data() + offset, inside);
  }
  std::memset(out + inside, 0, count - inside);
}

} // namespace sim
