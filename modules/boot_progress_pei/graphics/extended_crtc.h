// Unlocking and initialising the controller's extended CRTC registers at bring-up, before the
// chip is started and the mode is set.
#pragma once

#include <stdint.h>

// An (index, value) pair written to the CRTC; a table ends with the index kCrtcSettingsEnd.
struct CrtcSetting {
  uint8_t Index;
  uint8_t Value;
};
constexpr uint8_t kCrtcSettingsEnd = 0xFF;

extern const CrtcSetting ExtendedCrtcDefaultsPre20[]; // revisions below 0x20
extern const CrtcSetting ExtendedCrtcDefaults[];      // revision 0x20 and later
extern const CrtcSetting ExtendedCrtcRev40Values[];   // revision 0x40, after the defaults

// The defaults table of a revision.
const CrtcSetting *ExtendedCrtcDefaultsFor(uint8_t revision);

// Unlocks the extended registers, clears the scratch registers and writes the revision's
// defaults (and, for revision 0x40, its further values).
void InitExtendedCrtc(uint8_t revision);
