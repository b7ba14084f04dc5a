#include "tools/fvpack/lzma_section.h"

#include <lzma.h>

namespace fvpack {
namespace {
// A decoded section never exceeds what a 32-bit size field of a firmware volume can hold.
constexpr uint64_t kMaxDecodedSize = 0xFFFFFFFFull;

uint64_t HeaderSize(const std::vector<uint8_t> &data) {
  uint64_t size = 0;
  for (int i = 0; i < 8; ++i) {
    size |= static_cast<uint64_t>(data[5 + i]) << (8 * i);
  }
  return size;
}
} // namespace

std::vector<uint8_t> LzmaDecompress(const std::vector<uint8_t> &data, const std::string &what) {
  if (data.size() < kLzmaHeaderSize) {
    throw FlashError(what + ": LZMA data of " + std::to_string(data.size()) +
                     " bytes is shorter than its 13-byte header");
  }
  const uint64_t size = HeaderSize(data);
  if (size > kMaxDecodedSize) {
    throw FlashError(what + ": LZMA header gives an uncompressed size of " + std::to_string(size) +
                     " bytes");
  }
  lzma_stream stream = LZMA_STREAM_INIT;
  if (lzma_alone_decoder(&stream, UINT64_MAX) != LZMA_OK) {
    throw FlashError(what + ": the LZMA decoder could not start");
  }
  std::vector<uint8_t> out(size);
  stream.next_in = data.data();
  stream.avail_in = data.size();
  stream.next_out = out.data();
  stream.avail_out = out.size();
  lzma_ret ret = lzma_code(&stream, LZMA_FINISH);
  const size_t produced = out.size() - stream.avail_out;
  lzma_end(&stream);
  // A stream of known size may end without an end marker: a full buffer with the decoder still
  // asking for room is a complete decode.
  const bool complete = ret == LZMA_STREAM_END || (ret == LZMA_BUF_ERROR && produced == size) ||
                        (ret == LZMA_OK && produced == size);
  if (!complete || produced != size) {
    throw FlashError(what + ": LZMA data does not decompress (" + std::to_string(produced) +
                     " of " + std::to_string(size) + " bytes, liblzma status " +
                     std::to_string(static_cast<int>(ret)) + ")");
  }
  return out;
}

std::vector<uint8_t> LzmaCompress(const std::vector<uint8_t> &data) {
  lzma_options_lzma options;
  lzma_lzma_preset(&options, 1);
  options.dict_size = 1u << 20;
  lzma_stream stream = LZMA_STREAM_INIT;
  if (lzma_alone_encoder(&stream, &options) != LZMA_OK) {
    throw FlashError("the LZMA encoder could not start");
  }
  std::vector<uint8_t> out(data.size() + data.size() / 2 + 4096);
  stream.next_in = data.data();
  stream.avail_in = data.size();
  stream.next_out = out.data();
  stream.avail_out = out.size();
  const lzma_ret ret = lzma_code(&stream, LZMA_FINISH);
  const size_t produced = out.size() - stream.avail_out;
  lzma_end(&stream);
  if (ret != LZMA_STREAM_END) {
    throw FlashError("LZMA compression failed (liblzma status " +
                     std::to_string(static_cast<int>(ret)) + ")");
  }
  out.resize(produced);
  for (int i = 0; i < 8; ++i) {
    out[5 + i] = static_cast<uint8_t>(static_cast<uint64_t>(data.size()) >> (8 * i));
  }
  return out;
}

} // namespace fvpack
