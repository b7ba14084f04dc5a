// Base of every hardware model: a name, a power-on Reset(), and the model's own access counts
// (reads and writes it decoded, accesses that reached it but that nothing behind it decoded,
// accesses of a kind the hardware rejects). A device registers with its bus so that reports and
// tests can list every model and its counts.
#pragma once

#include <cstdint>
#include <string>

namespace sim {

class Bus;

struct DeviceCounts {
  uint64_t reads = 0;
  uint64_t writes = 0;
  uint64_t unclaimed = 0;    // reached this device's decode (a bridge's secondary side, say) but
                             // nothing there claimed it
  uint64_t guest_errors = 0; // a width or an access the hardware rejects
};

class Device {
public:
  Device(Bus &bus, std::string name);
  virtual ~Device();
  Device(const Device &) = delete;
  Device &operator=(const Device &) = delete;

  const std::string &Name() const { return name_; }
  // Returns the model to its power-on state (counts are kept).
  virtual void Reset() = 0;

  DeviceCounts &Counts() { return counts_; }
  const DeviceCounts &Counts() const { return counts_; }
  // Counts an access the hardware rejects (also on the bus's total).
  void GuestError();
  // Memory-like devices (frame buffer, flash) count their accesses as bulk transfers.
  bool BulkMemory() const { return bulk_memory_; }

protected:
  void SetBulkMemory() { bulk_memory_ = true; }

  Bus &bus_;

private:
  std::string name_;
  DeviceCounts counts_;
  bool bulk_memory_ = false;
};

} // namespace sim
