#include "sim/devices/vga/vga_controller.h"

#include "sim/devices/vga/vga_regs.h"

namespace sim {

using namespace vga;

namespace {
constexpr uint8_t kChipStatusBits = 0xC0;

// Writable bits of the standard registers (the rest read back 0).
struct Writable {
  uint8_t index;
  uint8_t mask;
};
constexpr Writable kSequencer[] = {
    {0x00, 0x03}, {0x01, 0x3D}, {0x02, 0x0F}, {0x03, 0x3F}, {0x04, 0x0E}};
constexpr Writable kGraphics[] = {{0x00, 0x0F}, {0x01, 0x0F}, {0x02, 0x0F},
                                  {0x03, 0x1F}, {0x04, 0x03}, {0x05, 0x7B},
                                  {0x06, 0x0F}, {0x07, 0x0F}, {0x08, 0xFF}};
constexpr Writable kAttributeAbovePalette[] = {
    {0x10, 0xEF}, {0x11, 0xFF}, {0x12, 0x3F}, {0x13, 0x0F}, {0x14, 0x0F}};
constexpr uint8_t kPaletteRegisterBits = 0x3F;
} // namespace

Region VgaController::MakeLeaf(const std::string &what, uint16_t port, uint16_t count,
                               uint8_t widths) {
  // A 16-bit access to an index/data pair is the two byte accesses in address order.
  return Region::Leaf(
      this, Name() + " " + what, count,
      [this, port](uint64_t offset, unsigned width) {
        uint64_t v = 0;
        for (unsigned i = 0; i < width; ++i) {
          v |= uint64_t{ReadPort(static_cast<uint16_t>(port + offset + i))} << (8 * i);
        }
        return v;
      },
      [this, port](uint64_t offset, unsigned width, uint64_t value) {
        for (unsigned i = 0; i < width; ++i) {
          WritePort(static_cast<uint16_t>(port + offset + i),
                    static_cast<uint8_t>(value >> (8 * i)));
        }
      },
      widths);
}

VgaController::VgaController(Bus &bus, std::string name)
    : Device(bus, name), dac_(bus, false),
      attr_misc_(MakeLeaf("attribute/misc", kAttributePort, 3, kW8)),
      enable_port_(MakeLeaf("enable", kEnablePort, 1, kW8)),
      sequencer_(MakeLeaf("sequencer", kSequencerIndex, 2, kW8 | kW16)),
      ports_ca_cf_(MakeLeaf("3ca-3cf", kFeatureControlRead, 6, kW8 | kW16)),
      crtc_colour_(MakeLeaf("crtc 3d4", kCrtcIndexColour, 2, kW8 | kW16)),
      status_colour_(MakeLeaf("status 3da", kInputStatus1Colour, 1, kW8)),
      crtc_mono_(MakeLeaf("crtc 3b4", kCrtcIndexMono, 2, kW8 | kW16)),
      status_mono_(MakeLeaf("status 3ba", kInputStatus1Mono, 1, kW8)) {
  for (const Writable &w : kSequencer) {
    seq_.Define({w.index, 1, 0, w.mask, 0});
  }
  for (const Writable &w : kGraphics) {
    gc_.Define({w.index, 1, 0, w.mask, 0});
  }
  attr_.DefineRange(0, kAttrLastPalette + 1, 1, 0, kPaletteRegisterBits);
  for (const Writable &w : kAttributeAbovePalette) {
    attr_.Define({w.index, 1, 0, w.mask, 0});
  }
  // The display reads the palette registers while the palette address source bit is set.
  attr_.Lock(0, kAttrLastPalette, [this] { return PaletteAddressSource(); });

  crtc_.DefineRange(0, kCrtcLastStandard + 1, 1, 0, 0xFF);
  crtc_.OnWrite(kCrtcVRetraceEnd, [this](uint64_t, uint64_t) { UpdateCrtcProtection(); });
  crtc_.Lock(kCrtcHTotal, kCrtcOverflow - 1,
             [this] { return (Crtc(kCrtcVRetraceEnd) & kCrtcProtect) != 0; });
  crtc_.DefineRange(kCrtcExtUnlock, 0x80, 1, 0, 0xFF);
  crtc_.Define({kCrtcExtChipStatus, 1, 0, 0, 0});
  crtc_.OnRead(kCrtcExtChipStatus, [this](uint64_t) -> uint64_t {
    return chip_status_ ? chip_status_() & kChipStatusBits : 0;
  });
  crtc_.Lock(
      kCrtcExtFirstLocked, 0xFF, [this] { return Crtc(kCrtcExtUnlock) != kCrtcExtUnlockKey; },
      RegisterFile::LockMode::IgnoreWritesReadZero);

  leaves_ = {{kAttributePort, &attr_misc_},          {kEnablePort, &enable_port_},
             {kSequencerIndex, &sequencer_},         {kDacFirstPort, &dac_.Leaf()},
             {kFeatureControlRead, &ports_ca_cf_},   {kCrtcIndexColour, &crtc_colour_},
             {kInputStatus1Colour, &status_colour_}, {kCrtcIndexMono, &crtc_mono_},
             {kInputStatus1Mono, &status_mono_}};
  Reset();
}

bool VgaController::Enabled() const { return (enable_ & kEnableDecode) != 0; }

bool VgaController::PaletteAddressSource() const { return (attr_index_ & kAttrPaletteSource) != 0; }

void VgaController::Reset() {
  seq_.Reset();
  crtc_.Reset();
  gc_.Reset();
  attr_.Reset();
  enable_ = power_on_enable_ ? kEnableDecode : 0;
  misc_ = feature_control_ = port_cb_ = port_cd_ = 0;
  seq_index_ = crtc_index_ = gc_index_ = attr_index_ = 0;
  attr_expects_data_ = false;
  dac_.Reset();
  UpdateCrtcProtection();
  UpdateDecode();
}

// While CRTC 0x00-0x07 are protected, only the line-compare bit of the overflow register takes
// writes; 0x00-0x06 are locked whole.
void VgaController::UpdateCrtcProtection() {
  const bool protect = (Crtc(kCrtcVRetraceEnd) & kCrtcProtect) != 0;
  crtc_.SetWriteMask(kCrtcOverflow, 1, protect ? kCrtcOverflowLineCompare : 0xFF);
}

void VgaController::UpdateDecode() {
  const bool on = Enabled();
  const bool colour = (misc_ & kMiscColourIo) != 0;
  for (Region *r : {&attr_misc_, &sequencer_, &dac_.Leaf(), &ports_ca_cf_}) {
    r->SetEnabled(on);
  }
  crtc_colour_.SetEnabled(on && colour);
  status_colour_.SetEnabled(on && colour);
  crtc_mono_.SetEnabled(on && !colour);
  status_mono_.SetEnabled(on && !colour);
}

uint8_t VgaController::ReadPort(uint16_t port) {
  switch (port) {
  case kAttributePort:
    return attr_index_;
  case kAttributeDataRead:
    return (attr_index_ & kAttrIndexBits) <= kAttrLast
               ? static_cast<uint8_t>(attr_.Read(attr_index_ & kAttrIndexBits, 1))
               : 0;
  case kEnablePort:
    return enable_;
  case kSequencerIndex:
    return seq_index_;
  case kSequencerData:
    return static_cast<uint8_t>(seq_.Read(seq_index_, 1));
  case kFeatureControlRead:
    return feature_control_;
  case kExtendedPortCB:
    return port_cb_;
  case kMiscOutputRead:
    return misc_;
  case kExtendedPortCD:
    return port_cd_;
  case kGraphicsIndex:
    return gc_index_;
  case kGraphicsData:
    return static_cast<uint8_t>(gc_.Read(gc_index_, 1));
  case kCrtcIndexColour:
  case kCrtcIndexMono:
    return crtc_index_;
  case kCrtcIndexColour + 1:
  case kCrtcIndexMono + 1:
    return static_cast<uint8_t>(crtc_.Read(crtc_index_, 1));
  case kInputStatus1Colour:
  case kInputStatus1Mono:
    attr_expects_data_ = false; // the next write to 0x3C0 is an index
    return 0;
  default: // input status 0
    return 0;
  }
}

void VgaController::WritePort(uint16_t port, uint8_t value) {
  switch (port) {
  case kAttributePort:
    if (attr_expects_data_) {
      if ((attr_index_ & kAttrIndexBits) <= kAttrLast) {
        attr_.Write(attr_index_ & kAttrIndexBits, 1, value);
      }
    } else {
      attr_index_ = value & (kAttrIndexBits | kAttrPaletteSource);
    }
    attr_expects_data_ = !attr_expects_data_;
    break;
  case kMiscOutputWrite:
    misc_ = value;
    UpdateDecode();
    break;
  case kEnablePort:
    enable_ = value & kEnableDecode;
    UpdateDecode();
    break;
  case kSequencerIndex:
    seq_index_ = value;
    break;
  case kSequencerData:
    seq_.Write(seq_index_, 1, value);
    break;
  case kExtendedPortCB:
    port_cb_ = value;
    break;
  case kExtendedPortCD:
    port_cd_ = value;
    break;
  case kGraphicsIndex:
    gc_index_ = value;
    break;
  case kGraphicsData:
    gc_.Write(gc_index_, 1, value);
    break;
  case kCrtcIndexColour:
  case kCrtcIndexMono:
    crtc_index_ = value;
    break;
  case kCrtcIndexColour + 1:
  case kCrtcIndexMono + 1:
    crtc_.Write(crtc_index_, 1, value);
    break;
  case kInputStatus1Colour:
  case kInputStatus1Mono:
    feature_control_ = value;
    break;
  default: // 0x3C1, 0x3CA and 0x3CC are read-only
    break;
  }
}

} // namespace sim
