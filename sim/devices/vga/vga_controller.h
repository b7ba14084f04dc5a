// The VGA core of the display controller, as its legacy I/O ports show it:
//   - 0x3C3 VGA enable: while bit 0 is clear, no other VGA port is decoded;
//   - miscellaneous output (write 0x3C2, read 0x3CC): bit 0 moves the CRTC and input status 1
//     between 0x3Dx (colour) and 0x3Bx (monochrome); only the selected pair is decoded;
//   - sequencer 0x3C4/0x3C5, graphics controller 0x3CE/0x3CF, CRTC index/data, all indexed;
//   - CRTC 0x00-0x07 write-protected while CRTC 0x11 bit 7 is set (0x07 bit 4 stays writable);
//     extended CRTC 0x81-0xFF ignore writes and read 0 until CRTC 0x80 holds 0xA8; 0xD0 reports
//     the chip's state (read-only, bits 7:6 from a source the board sets);
//   - attribute controller at 0x3C0 (index and data alternately, the flip-flop reset by reading
//     input status 1) with the palette-address-source bit; palette registers 0x00-0x0F ignore
//     writes while that bit is set; data read at 0x3C1;
//   - the controller's own ports 0x3CB and 0x3CD, feature control (read 0x3CA);
//   - the palette DAC at 0x3C6-0x3C9.
// Input status reads 0: no scan-out timing is modelled. The ports are leaves that the VGA
// function (vga_function.h) places on its bus while its command register enables I/O.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "sim/core/bus.h"
#include "sim/core/register_file.h"
#include "sim/devices/vga/vga_dac.h"

namespace sim {

class VgaController : public Device {
public:
  // CRTC 0xD0 bits 7:6 as the chip reports them.
  using ChipStatusSource = std::function<uint8_t()>;

  VgaController(Bus &bus, std::string name);

  struct PortLeaf {
    uint16_t port;
    Region *leaf;
  };
  // Every port range the controller decodes, at its port address.
  const std::vector<PortLeaf> &PortLeaves() const { return leaves_; }

  void SetChipStatusSource(ChipStatusSource source) { chip_status_ = std::move(source); }
  // Port 0x3C3 bit 0 at power-on (a BMC that already enabled the controller).
  void SetPowerOnEnable(bool enabled) { power_on_enable_ = enabled; }
  void Reset() override;

  // Model side, for the display engine and reports: stored values, no access rules.
  uint8_t Crtc(uint8_t index) const { return static_cast<uint8_t>(crtc_.Get(index, 1)); }
  uint8_t Sequencer(uint8_t index) const { return static_cast<uint8_t>(seq_.Get(index, 1)); }
  uint8_t Graphics(uint8_t index) const { return static_cast<uint8_t>(gc_.Get(index, 1)); }
  uint8_t Attribute(uint8_t index) const { return static_cast<uint8_t>(attr_.Get(index, 1)); }
  uint8_t MiscOutput() const { return misc_; }
  bool Enabled() const;
  bool PaletteAddressSource() const;
  VgaDac &Dac() { return dac_; }
  const VgaDac &Dac() const { return dac_; }

private:
  uint8_t ReadPort(uint16_t port);
  void WritePort(uint16_t port, uint8_t value);
  Region MakeLeaf(const std::string &what, uint16_t port, uint16_t count, uint8_t widths);
  void UpdateDecode();
  void UpdateCrtcProtection();

  RegisterFile seq_{256};
  RegisterFile crtc_{256};
  RegisterFile gc_{256};
  RegisterFile attr_{32};
  uint8_t enable_ = 0;
  uint8_t misc_ = 0;
  uint8_t feature_control_ = 0;
  uint8_t port_cb_ = 0, port_cd_ = 0;
  uint8_t seq_index_ = 0, crtc_index_ = 0, gc_index_ = 0, attr_index_ = 0;
  bool attr_expects_data_ = false; // the flip-flop
  bool power_on_enable_ = false;
  ChipStatusSource chip_status_;
  VgaDac dac_;
  Region attr_misc_, enable_port_, sequencer_, ports_ca_cf_;
  Region crtc_colour_, status_colour_, crtc_mono_, status_mono_;
  std::vector<PortLeaf> leaves_;
};

} // namespace sim
