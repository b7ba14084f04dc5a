// Test support for the boot screen's images: BMP files built to order, a board with an empty
// flash into which tests place volumes, and readers for the frame buffer and palette.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "modules/boot_progress_pei/graphics/graphics_enable.h"
#include "modules/boot_progress_pei/graphics/screen.h"
#include "modules/boot_progress_pei/image/bmp_draw.h"
#include "modules/boot_progress_pei/image/image_draw.h"
#include "sim/devices/memory/ram_device.h"
#include "sim/pei/pei_board.h"
#include "sim/pi/fv_builder.h"

namespace test {

struct BmpSpec {
  uint32_t width = 8, height = 4;
  uint16_t bits = 8;
  uint32_t colours = 16;    // colour-table entries written
  int32_t clr_used = -1;    // -1: the number of entries written
  int32_t size_image = -1;  // -1: the pixel bytes
  int32_t height_field = 0; // non-zero: written as biHeight instead of height
  // Colour i of the table as red, green, blue.
  std::function<void(uint32_t i, uint8_t rgb[3])> colour = [](uint32_t i, uint8_t rgb[3]) {
    rgb[0] = static_cast<uint8_t>(i);
    rgb[1] = static_cast<uint8_t>(i + 1);
    rgb[2] = static_cast<uint8_t>(i + 2);
  };
  // Colour index of pixel (x, y), y = 0 being the top row.
  std::function<uint8_t(uint32_t x, uint32_t y)> pixel = [](uint32_t x, uint32_t y) {
    return static_cast<uint8_t>((x + 3 * y) % 16);
  };
  uint8_t padding = 0xEE; // row padding bytes, so that drawing padding shows
};

inline void Put32(std::vector<uint8_t> &f, size_t at, uint32_t v) { std::memcpy(&f[at], &v, 4); }
inline void Put16(std::vector<uint8_t> &f, size_t at, uint16_t v) { std::memcpy(&f[at], &v, 2); }

inline std::vector<uint8_t> MakeBmp(const BmpSpec &s) {
  const uint32_t rowBytes = s.bits == 4 ? (s.width + 1) / 2 : s.width * (s.bits / 8);
  const uint32_t stride = (rowBytes + 3) / 4 * 4;
  const uint32_t offBits = 54 + 4 * s.colours;
  std::vector<uint8_t> f(offBits + stride * s.height, 0);
  f[0] = 'B';
  f[1] = 'M';
  Put32(f, 2, static_cast<uint32_t>(f.size()));
  Put32(f, 10, offBits);
  Put32(f, 14, 40);
  Put32(f, 18, s.width);
  Put32(f, 22, s.height_field ? static_cast<uint32_t>(s.height_field) : s.height);
  Put16(f, 26, 1);
  Put16(f, 28, s.bits);
  Put32(f, 34, s.size_image >= 0 ? static_cast<uint32_t>(s.size_image) : stride * s.height);
  Put32(f, 46, s.clr_used >= 0 ? static_cast<uint32_t>(s.clr_used) : s.colours);
  for (uint32_t i = 0; i < s.colours; ++i) {
    uint8_t rgb[3];
    s.colour(i, rgb);
    f[54 + 4 * i] = rgb[2];
    f[55 + 4 * i] = rgb[1];
    f[56 + 4 * i] = rgb[0];
  }
  for (uint32_t y = 0; y < s.height; ++y) {
    uint8_t *row = &f[offBits + stride * (s.height - 1 - y)];
    std::memset(row, s.padding, stride);
    if (s.bits == 4) {
      std::memset(row, 0, rowBytes);
    }
    for (uint32_t x = 0; x < s.width && s.bits <= 8; ++x) {
      const uint8_t p = s.pixel(x, y);
      if (s.bits == 8) {
        row[x] = p;
      } else {
        row[x / 2] |= static_cast<uint8_t>((x % 2 == 0) ? (p & 0xF) << 4 : (p & 0xF));
      }
    }
  }
  return f;
}

inline EFI_GUID Guid(uint32_t n) { return {n, 0x1234, 0x5678, {1, 2, 3, 4, 5, 6, 7, 8}}; }

inline sim::FvFileSpec File(const EFI_GUID &name, std::vector<uint8_t> data,
                            uint8_t type = 0x02 /* freeform */) {
  sim::FvFileSpec f;
  f.name = name;
  f.type = type;
  f.data = std::move(data);
  f.source = "test file";
  return f;
}

inline std::vector<uint8_t> Volume(std::vector<sim::FvFileSpec> files, uint64_t size = 0) {
  sim::FvManifest m;
  m.files = std::move(files);
  m.size = size;
  return sim::BuildFirmwareVolume(m);
}

inline sim::Scenario EmptyFlashScenario() {
  return sim::ParseScenario(nlohmann::json::parse(R"({"flash": {"volumes": []}})"), "test", ".");
}

// Brings the board's display up as the screen callback does, so that draws reach the
// controller's frame buffer and DAC.
inline void BringUpDisplay(sim::PeiBoard &board) {
  OpenHostMmioWindow();
  GraphicsDeviceState state;
  ASSERT_EQ(EnableGraphicsController(&state, board.core.Services()), EFI_SUCCESS);
}

// The frame buffer: the start of the controller's video memory, where BAR0 places it.
inline const uint8_t *FrameBuffer(const sim::PeiBoard &board) {
  return board.display.FrameMemory()->Data();
}

// A PEI board whose flash starts empty, with its display brought up, with a scratch RAM where BMP
// bytes can be placed for DrawBitmap.
class ImageBoard {
public:
  static constexpr uint64_t kScratch = 0x10000000;
  static constexpr uint64_t kScratchSize = 0x200000;

  ImageBoard() : board(EmptyFlashScenario()) {
    BringUpDisplay(board);
    dac_writes_at_start_ = Dac().EntryWrites();
  }

  void Place(uint64_t base, const std::vector<uint8_t> &volume) {
    board.flash.Load(base, volume, "test volume");
  }

  EFI_STATUS Bitmap(const std::vector<uint8_t> &file, uint32_t *left, uint32_t *bottom,
                    uint32_t highPalette, uint32_t length = UINT32_MAX) {
    std::memcpy(scratch.Data(), file.data(), file.size());
    uint32_t w = 0, h = 0;
    return DrawBitmap(kScratch, length == UINT32_MAX ? static_cast<uint32_t>(file.size()) : length,
                      kBmpSizeLimit, kFrameBufferBase, left, bottom, highPalette, &w, &h);
  }

  void Draw(const EFI_GUID &guid, uint32_t *bottom, uint32_t *left, uint32_t highPalette) {
    EXPECT_EQ(DrawImageFile(board.core.Services(), &guid, bottom, left, highPalette), EFI_SUCCESS);
  }

  uint8_t Px(uint32_t x, uint32_t y) const { return FrameBuffer(board)[y * kScreenPitch + x]; }
  const sim::VgaDac &Dac() const { return board.display.Controller()->Dac(); }
  const sim::Rgb6 &Entry(unsigned i) const { return Dac().Palette()[i]; }
  // Palette entries written since the display was brought up.
  uint64_t DacEntryWrites() const { return Dac().EntryWrites() - dac_writes_at_start_; }
  size_t Touched() const {
    size_t n = 0;
    for (size_t i = 0; i < kFrameBufferSize; ++i) {
      n += FrameBuffer(board)[i] != 0;
    }
    return n;
  }
  // Bounding box of non-zero pixels: left, top, right, bottom (inclusive).
  std::array<int, 4> Box() const {
    std::array<int, 4> b{800, 600, -1, -1};
    for (int y = 0; y < 600; ++y) {
      for (int x = 0; x < 800; ++x) {
        if (Px(x, y) != 0) {
          b = {std::min(b[0], x), std::min(b[1], y), std::max(b[2], x), std::max(b[3], y)};
        }
      }
    }
    return b;
  }

  sim::PeiBoard board;
  sim::RamDevice scratch{board.machine.bus, kScratch, kScratchSize, "scratch"};

private:
  uint64_t dac_writes_at_start_ = 0;
};

// Every pixel drawn with a non-zero index, so that the image's extent shows in Box().
inline BmpSpec Solid(uint32_t width, uint32_t height, uint16_t bits = 8) {
  BmpSpec s;
  s.width = width;
  s.height = height;
  s.bits = bits;
  s.pixel = [](uint32_t, uint32_t) { return static_cast<uint8_t>(1); };
  return s;
}

} // namespace test
