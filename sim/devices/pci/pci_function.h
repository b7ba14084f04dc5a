// A PCI function: a 4 KiB configuration space with the standard header's access rules as data
// (read-only IDs and class, the command register's writable bits, BARs that read back their size
// mask), and the base address registers that map the function's own regions into the memory or
// I/O space of the bus it sits on, while the command register enables that space. A memory BAR
// that decodes over a fixed platform range (Bus::FixedConflict) is a decode conflict: a guest
// error of the function each time it starts (the fixed range keeps its priority).
#pragma once

#include <cstdint>
#include <string>

#include "sim/core/bus.h"
#include "sim/core/register_file.h"

namespace sim {

class PciBus;

// Standard configuration header offsets and command bits.
struct PciConfig {
  static constexpr uint16_t kVendorId = 0x00;
  static constexpr uint16_t kDeviceId = 0x02;
  static constexpr uint16_t kCommand = 0x04;
  static constexpr uint16_t kStatus = 0x06;
  static constexpr uint16_t kRevision = 0x08;
  static constexpr uint16_t kClassCode = 0x09; // 3 bytes: programming interface, sub, base
  static constexpr uint16_t kHeaderType = 0x0E;
  static constexpr uint16_t kBar0 = 0x10;
  static constexpr uint16_t kCommandIo = 1u << 0;
  static constexpr uint16_t kCommandMemory = 1u << 1;
  static constexpr uint16_t kCommandBusMaster = 1u << 2;
  static constexpr uint8_t kHeaderBridge = 0x01;
};

enum class BarKind : uint8_t { Memory, Io };

class PciFunction : public Device {
public:
  static constexpr uint32_t kConfigSize = 4096;
  static constexpr unsigned kBarCount = 6;

  struct Identity {
    uint16_t vendor;
    uint16_t device;
    uint32_t class_code; // base class, sub-class, programming interface: 0x030000 for VGA
    uint8_t revision;
  };

  PciFunction(Bus &bus, std::string name, const Identity &id, uint8_t headerType = 0);
  ~PciFunction() override;

  // A configuration cycle that reached this function.
  uint32_t ConfigRead(uint16_t reg, unsigned width);
  void ConfigWrite(uint16_t reg, unsigned width, uint32_t value);

  // Board assembly: places the function on `bus` at (device, function).
  void AttachTo(PciBus &bus, uint8_t device, uint8_t function);
  PciBus *OnBus() const { return on_bus_; }
  uint8_t DeviceNumber() const { return device_; }
  uint8_t FunctionNumber() const { return function_; }

  // Declares BAR `index` of `size` bytes (a power of two; memory at least 16, I/O at least 4)
  // decoding `target` at the address software writes, while the command register enables the
  // space. Call before Reset().
  void AddBar(unsigned index, BarKind kind, uint64_t size, Region *target);
  uint32_t BarAddress(unsigned index) const;
  bool BarMapped(unsigned index) const;
  uint16_t Command() const { return static_cast<uint16_t>(config.Get(PciConfig::kCommand, 2)); }

  void Reset() override;

  RegisterFile config{kConfigSize};

protected:
  // Recomputes what the function decodes; runs after writes to the command register or a BAR.
  virtual void Decode();

private:
  struct Bar {
    BarKind kind = BarKind::Memory;
    uint64_t size = 0;
    Region *target = nullptr;
    Region *mapped_in = nullptr; // the container the target sits in while mapped
  };
  void UnmapBar(Bar &bar);

protected:
  // Counts a guest error when a decode conflict starts (`was` false, `now` true).
  void ReportConflict(bool &was, bool now);

private:
  bool conflict_[kBarCount] = {};

  PciBus *on_bus_ = nullptr;
  uint8_t device_ = 0, function_ = 0;
  Bar bars_[kBarCount];
};

} // namespace sim
