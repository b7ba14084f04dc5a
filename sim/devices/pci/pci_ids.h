// Identities the simulated board's own PCI functions report. Nothing in the modules depends on
// these except where a value is part of the board's contract (the display bridge, the PCH's
// device IDs), and those are configured where the models are built.
#pragma once

#include <cstdint>

namespace sim {

inline constexpr uint16_t kBoardVendorId = 0xFEED; // host and PCH functions of the model board
inline constexpr uint16_t kHostDecodeDeviceId = 0x0D05;
inline constexpr uint16_t kHostRuleDecodeDeviceId = 0x0D1D;
inline constexpr uint16_t kRootPortDeviceId = 0x0D1C;

} // namespace sim
