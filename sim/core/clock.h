// Virtual time of the simulated board, in nanoseconds. Nothing in the simulator reads the host
// clock: time moves only by bus-access costs and by stalls, so every run is repeatable.
#pragma once

#include <cstdint>

namespace sim {

class Clock {
public:
  void Advance(uint64_t ns) { now_ns_ += ns; }
  uint64_t NowNs() const { return now_ns_; }
  double NowUs() const { return static_cast<double>(now_ns_) / 1000.0; }
  void Reset() { now_ns_ = 0; }

private:
  uint64_t now_ns_ = 0;
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
