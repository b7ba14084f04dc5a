// A board whose devices may lie. Installed as the bus's read interposer, it hands chosen device
// reads to an input byte stream while every model stays honest and the rest of the board answers
// as it would: a fuzzer's input becomes what the processor reads.
//   - A target names a read path (I/O, memory, configuration space, IPMI answer), optionally one
//     device, and an address range on that path (port, physical address, configuration register,
//     answer byte: 0 completion code, 1 length, 2 on the data).
//   - Choose mode: each targeted read takes one byte from the stream; an odd byte replaces the
//     honest value by the next `width` bytes (little-endian), an even one lets it through.
//     Always mode: every targeted read takes `width` bytes.
//   - Once the stream is used up every read is honest again, so a short input boots normally.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "sim/core/bus.h"

namespace sim {

class LyingBus : public ReadInterposer {
public:
  enum class Mode : uint8_t { Choose, Always };
  struct Target {
    ReadPath path;
    const Device *device = nullptr; // any device on the path
    uint64_t first = 0;
    uint64_t last = ~uint64_t{0};
  };

  LyingBus(Bus &bus, Mode mode = Mode::Choose);
  ~LyingBus() override;
  LyingBus(const LyingBus &) = delete;
  LyingBus &operator=(const LyingBus &) = delete;

  void Lie(const Target &target) { targets_.push_back(target); }
  // Every read on every path.
  void LieAboutEverything();
  // Starts a new stream (the bytes must outlive the reads); the targets stay.
  void Feed(const uint8_t *data, size_t size);

  uint64_t Answer(const DeviceRead &read, uint64_t honest) override;

  uint64_t Lies() const { return lies_; }
  bool Exhausted() const { return at_ >= size_; }

private:
  bool Targeted(const DeviceRead &read) const;

  Bus &bus_;
  Mode mode_;
  std::vector<Target> targets_;
  const uint8_t *data_ = nullptr;
  size_t size_ = 0;
  size_t at_ = 0;
  uint64_t lies_ = 0;
};

} // namespace sim
