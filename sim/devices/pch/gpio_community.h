// A GPIO community of the server PCH: the registers of its pad groups in the private
// configuration space, 64 KiB at 0xFD000000 + (port ID << 16), 32-bit accesses only (another
// width is a guest error). The server PCH has 13 pad groups in six communities; each group has
//   - PAD_OWN: four bits per pad, eight pads per register, the low two giving the owner (0 the
//     host); read-only, set at power-on;
//   - HOSTSW_OWN, GPI_GPE_EN, and GPI_SMI_EN / GPI_NMI_EN where the group has them: one bit per
//     pad, read-write;
//   - PADCFGLOCK, PADCFGLOCKTX: one bit per pad, read-only here; only a GPIO-lock message through
//     the sideband interface sets them, and nothing but a reset clears them;
//   - two configuration words per pad: DW0 (reset configuration, input event, inversion,
//     routing, pad mode, buffer disables, output level; bit 1 the input state, read-only: the
//     pad's external level while the input buffer is enabled, 0 while DW0 bit 9 disables it) and
//     DW1 (termination, interrupt select). A pad whose PADCFGLOCK bit is set ignores writes to
//     DW0 (but its output level) and DW1; PADCFGLOCKTX protects the output level.
// Reserved bits read 0 and ignore writes. The interrupt and GPE status registers are not modelled
// and read 0, as does the rest of the 64 KiB block beyond the registers.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <vector>

#include "sim/core/bus.h"
#include "sim/core/register_file.h"
#include "sim/devices/pch/p2sb.h"

namespace sim {

// One pad group as the PCH lays it out: the community's port ID, register offsets in it
// (kNoRegister where the group has none), the first pad's DW0 and the pad count.
struct GpioGroupLayout {
  static constexpr uint16_t kNoRegister = 0xFFFF;
  uint8_t port;
  uint16_t pad_own, hostsw_own, gpe_en, smi_en, nmi_en, lock, lock_tx, pad_cfg;
  uint8_t pads;
};

inline constexpr size_t kServerPchGpioGroups = 13;
const std::array<GpioGroupLayout, kServerPchGpioGroups> &ServerPchGpioGroups();
// The communities' port IDs, in the order the board builds them.
const std::vector<uint8_t> &ServerPchGpioPorts();

// A pad's power-on state.
struct GpioPadPowerOn {
  static constexpr uint32_t kDefaultDw0 = 0x40000300; // reset config 01, GPIO, buffers disabled
  uint8_t level = 0;                                  // external level on the pad
  uint32_t dw0 = kDefaultDw0;
  uint32_t dw1 = 0;
  uint8_t owner = 0; // 0 the host
  bool hostsw_own = false;
  bool gpe_en = false;
  bool locked = false;
  bool tx_locked = false;
};

// Pad states by (group, pad); pads not listed take the defaults.
using GpioPadStates = std::map<std::pair<uint8_t, uint8_t>, GpioPadPowerOn>;

class GpioCommunity : public Device, public SidebandEndpoint {
public:
  static constexpr uint64_t kPcrBase = 0xFD000000;
  static constexpr unsigned kPortShift = 16;
  static constexpr uint64_t kBlockSize = 0x10000;
  static constexpr uint32_t kRegisterSpan = 0x1000;    // where this community's registers lie
  static constexpr uint32_t kDw0Writable = 0xF7FE1F01; // 31:28, 26:17, 12:8, 0
  static constexpr uint32_t kDw1Writable = 0x02003CFF; // 25, 13:10, 7:0
  static constexpr uint32_t kDw0RxState = 1u << 1;
  static constexpr uint32_t kDw0TxState = 1u << 0;
  static constexpr uint32_t kDw0InputBufferDisable = 1u << 9;
  static constexpr uint8_t kOpcodeGpioLock = 0x13;

  // The community of `port`, placed at its fixed address, with its groups' pads at `states`.
  GpioCommunity(Bus &bus, uint8_t port, const GpioPadStates &states);

  uint8_t Port() const { return port_; }
  bool HasGroup(uint8_t group) const;

  // The external level on a pad (what DW0 bit 1 shows while the input buffer is enabled).
  void SetPadLevel(uint8_t group, uint8_t pad, uint8_t level);
  uint8_t PadLevel(uint8_t group, uint8_t pad) const { return pads_[PadIndex(group, pad)].level; }
  void SetPadOwner(uint8_t group, uint8_t pad, uint8_t owner);

  // Registers as software reads them, without counting an access.
  struct PadRegisters {
    uint32_t dw0, dw1;
    uint8_t owner;
    bool hostsw_own, gpe_en, locked, tx_locked;
    bool operator==(const PadRegisters &) const = default;
  };
  PadRegisters Pad(uint8_t group, uint8_t pad);
  // A register's stored value (DW0 without its live input state).
  uint32_t Raw(uint32_t offset) const { return static_cast<uint32_t>(regs_.Get(offset, 4)); }

  // What software saw of a pad's input: DW0 reads, and the input state the last read returned
  // while the input buffer was enabled (-1 when there was none). Kept across Reset.
  struct PadInputReads {
    uint64_t dw0_reads = 0;
    int last_level_read = -1;
  };
  PadInputReads InputReads(uint8_t group, uint8_t pad) const;
  // Runs after every guest write to a pad's DW0 or DW1 (a test's way to change the pad's
  // surroundings mid-sequence).
  void OnPadWrite(std::function<void(uint8_t group, uint8_t pad)> observer) {
    observer_ = std::move(observer);
  }

  // A GPIO-lock message: sets the data's bits (for the pads of the group, under the byte
  // enables) in the PADCFGLOCK or PADCFGLOCKTX register at the message's offset. Another opcode
  // or offset is refused with status 1.
  uint8_t SidebandMessage(const SidebandRequest &request) override;

  void Reset() override;

private:
  struct GroupRegs {
    uint8_t group;
    const GpioGroupLayout *layout;
  };
  struct PadKey {
    uint8_t group, pad;
    auto operator<=>(const PadKey &) const = default;
  };
  const GroupRegs *Group(uint8_t group) const;
  uint32_t Dw0Offset(const GpioGroupLayout &g, uint8_t pad) const { return g.pad_cfg + 8u * pad; }
  bool BitSet(uint16_t reg, uint8_t pad) const;
  void DefineGroup(const GroupRegs &g, const GpioPadStates &states);
  uint64_t LeafRead(uint64_t offset, unsigned width);
  void LeafWrite(uint64_t offset, unsigned width, uint64_t value);

  uint8_t port_;
  std::vector<GroupRegs> groups_;
  // Per pad, 32 slots per group in the order of groups_ (a vector, not a map: a board builds
  // six communities of up to 72 pads each).
  struct PadState {
    uint8_t level = 0, power_on_level = 0;
    PadInputReads reads;
  };
  size_t PadIndex(uint8_t group, uint8_t pad) const; // throws std::out_of_range for no such pad
  std::vector<PadState> pads_;
  std::function<void(uint8_t, uint8_t)> observer_;
  RegisterFile regs_{kRegisterSpan};
  Region region_;
};

} // namespace sim
