// Virtual time of the simulated board, in nanoseconds. Nothing in the simulator reads the host
// clock: time moves only by bus-access costs and by stalls, so every run is repeatable. Time
// saturates at the largest count (about 584 years) rather than wrapping, and says so.
#pragma once

#include <cstdint>

namespace sim {

class Clock {
public:
  void Advance(uint64_t ns) {
    if (ns > UINT64_MAX - now_ns_) {
      now_ns_ = UINT64_MAX;
      saturated_ = true;
    } else {
      now_ns_ += ns;
    }
  }
  // `times` advances of `ns` each.
  void Advance(uint64_t ns, uint64_t times) {
    if (ns != 0 && times > UINT64_MAX / ns) {
      now_ns_ = UINT64_MAX;
      saturated_ = true;
    } else {
      Advance(ns * times);
    }
  }
  // True once an advance would have passed the largest count.
  bool Saturated() const { return saturated_; }
  uint64_t NowNs() const { return now_ns_; }
  double NowUs() const { return static_cast<double>(now_ns_) / 1000.0; }
  void Reset() {
    now_ns_ = 0;
    saturated_ = false;
  }

private:
  uint64_t now_ns_ = 0;
  bool saturated_ = false;
};

// Cost of one bus access, in nanoseconds. The defaults are assumptions, not measurements: about
// a microsecond for a port access or an uncached read across the PCH, and a posted MMIO write
// that retires in a fraction of that.
struct CostModel {
  uint64_t io_ns = 1000;
  uint64_t mmio_read_ns = 1000;
  uint64_t mmio_write_ns = 150;
};

} // namespace sim
