// When the BMC chip saw each stage of its start-up, in the machine's virtual time: the host's
// first access through the register window, the first PHY initialisation, the start-up flags
// written to SCU40, the first read of CRTC 0xD0, and the first such read that showed the chip
// running. The last activity (a window access or a CRTC 0xD0 read) closes a stage that never
// ended, so a start-up that gave up shows where its time went.
#pragma once

#include <array>
#include <cstdint>
#include <optional>

#include "sim/core/clock.h"

namespace sim {

class ChipTimeline {
public:
  enum class Mark : uint8_t { FirstAccess, DramTraining, FlagsSet, StatusRead, RunningSeen };

  explicit ChipTimeline(const Clock &clock) : clock_(clock) {}

  // Records `mark` at the current time unless it was recorded before.
  void Note(Mark mark);
  // The host did something with the chip now.
  void Touch() { last_ns_ = clock_.NowNs(); }
  std::optional<uint64_t> At(Mark mark) const { return marks_[static_cast<size_t>(mark)]; }
  std::optional<uint64_t> LastActivity() const { return last_ns_; }
  uint64_t NowNs() const { return clock_.NowNs(); }
  void Reset();

private:
  static constexpr size_t kMarks = 5;
  const Clock &clock_;
  std::array<std::optional<uint64_t>, kMarks> marks_{};
  std::optional<uint64_t> last_ns_;
};

} // namespace sim
