#include "modules/boot_progress_pei/graphics/extended_crtc.h"

#include "modules/boot_progress_pei/graphics/controller_revision.h"
#include "modules/boot_progress_pei/graphics/vga_ports.h"
#include "modules/boot_progress_pei/graphics/vga_regs.h"

constinit const CrtcSetting ExtendedCrtcDefaultsPre20[] = {
    {0xA0, 0x0F}, {0xA1, 0x04}, {0xA2, 0x1C}, {0xB6, 0x04}, {0xB7, 0xF0}, {kCrtcSettingsEnd, 0},
};

constinit const CrtcSetting ExtendedCrtcDefaults[] = {
    {0xA0, 0x0F}, {0xA1, 0x04}, {0xA2, 0x1F}, {0xB6, 0x24}, {0xB7, 0xF0}, {kCrtcSettingsEnd, 0},
};

constinit const CrtcSetting ExtendedCrtcRev40Values[] = {
    {0xBC, 0x40}, {0xBD, 0x38}, {0xBE, 0x3A}, {0xBF, 0x38},
    {0xCF, 0x70}, {0xB5, 0xA8}, {0xBB, 0x43}, {kCrtcSettingsEnd, 0},
};

namespace {
void WriteSettings(const CrtcSetting *settings) {
  for (const CrtcSetting *s = settings; s->Index != kCrtcSettingsEnd; ++s) {
    VgaWrite(kVgaCrtc, s->Index, s->Value);
  }
}
} // namespace

const CrtcSetting *ExtendedCrtcDefaultsFor(uint8_t revision) {
  return revision < kControllerRevision20 ? ExtendedCrtcDefaultsPre20 : ExtendedCrtcDefaults;
}

void InitExtendedCrtc(uint8_t revision) {
  VgaWrite(kVgaCrtc, kCrtcExtUnlock, kCrtcExtUnlockKey);
  for (unsigned index = kCrtcExtScratchFirst; index <= kCrtcExtScratchLast; ++index) {
    VgaWrite(kVgaCrtc, static_cast<uint8_t>(index), 0);
  }
  WriteSettings(ExtendedCrtcDefaultsFor(revision));
  if (revision == kControllerRevision40) {
    WriteSettings(ExtendedCrtcRev40Values);
  }
}
