// LZMA as firmware volumes carry it in GUIDed sections (EE4E5898-3914-4259-9D6E-DC7BD79403CF): the
// "alone" layout of 5 property bytes, the uncompressed size as a 64-bit little-endian number, then
// the stream. Firmware decoders size their output buffer from that number, so it is always the
// real size, never the "unknown" value an alone encoder writes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/fvpack/flash_error.h"

namespace fvpack {

inline constexpr size_t kLzmaHeaderSize = 13;

// Decodes `data`; throws FlashError (with `what` leading the message) when the header is short,
// the stream is corrupt, or it yields a size other than the header's.
std::vector<uint8_t> LzmaDecompress(const std::vector<uint8_t> &data, const std::string &what);

// Encodes `data` with the header above: a fast preset with a 1 MiB dictionary, since a flash
// edited for a test run is written once and firmware decoders take any dictionary size.
std::vector<uint8_t> LzmaCompress(const std::vector<uint8_t> &data);

} // namespace fvpack
