// The drawing with wide transactions against the byte-at-a-time reference: for every file of the
// DrawBitmap fuzz corpus, the ImageMagick fixtures, the default artwork and generated images that
// walk every alignment of file, pixel data and destination, both must leave the same frame buffer,
// the same DAC port sequence (so the same palette), the same margins, sizes and status. The file
// sits in memory of exactly its length, so a read past either end shows as an unclaimed access.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "modules/boot_progress_pei/graphics/screen.h"
#include "modules/boot_progress_pei/image/bmp_draw.h"
#include "modules/boot_progress_pei/progress/progress_bar.h"
#include "sim/core/machine.h"
#include "sim/devices/memory/ram_device.h"
#include "sim/pei/flash_scenario.h"
#include "tests/image/image_support.h"
#include "tests/image/reference/reference_draw.h"

namespace {

namespace fs = std::filesystem;

using DrawFn = EFI_STATUS (*)(UINTN, UINT32, UINT32, UINTN, UINT32 *, UINT32 *, UINT32, UINT32 *,
                              UINT32 *);

constexpr uint64_t kFileBase = 0x10000000;
constexpr uint16_t kFirstDacPort = 0x3C4; // the delay read port, then 0x3C6 to 0x3C9
constexpr uint16_t kDacPorts = 6;

struct PortAccess {
  bool write;
  uint16_t port;
  uint8_t value;
  bool operator==(const PortAccess &) const = default;
};

struct Case {
  std::string name;
  std::vector<uint8_t> file;
  uint32_t length; // bytes of the file present (a prefix)
  uint32_t left, bottom, high_palette;
  unsigned misalign; // file address modulo 4
};

struct Outcome {
  EFI_STATUS status = 0;
  uint32_t left = 0, bottom = 0, width = 0, height = 0;
  std::vector<uint8_t> frame_buffer;
  std::vector<PortAccess> dac;
  sim::BusCounts counts;
};

// A frame buffer that is not blank, so that a stray or missing store shows.
void Scribble(sim::RamDevice &fb) {
  static const std::vector<uint8_t> pattern = [] {
    std::vector<uint8_t> p(kFrameBufferSize);
    for (size_t i = 0; i < p.size(); ++i) {
      p[i] = static_cast<uint8_t>(i * 131 + i / 800);
    }
    return p;
  }();
  std::memcpy(fb.Data(), pattern.data(), pattern.size());
}

// One machine on which both drawings run in turn, each from the same starting state.
class SideBySide {
public:
  SideBySide() {
    machine.bus.Map(
        sim::Space::Io, kFirstDacPort, kDacPorts, "dac-recorder",
        [this](uint64_t offset, unsigned) {
          dac_->push_back({false, static_cast<uint16_t>(kFirstDacPort + offset), 0});
          return uint64_t{0x5A};
        },
        [this](uint64_t offset, unsigned, uint64_t value) {
          dac_->push_back(
              {true, static_cast<uint16_t>(kFirstDacPort + offset), static_cast<uint8_t>(value)});
        });
  }

  // Compares the two drawings of `c`.
  void ExpectSameAsReference(const Case &c) {
    Run(reference::DrawBitmap, c, want_);
    Run(DrawBitmap, c, got_);
    const std::string where = c.name + " length " + std::to_string(c.length) + " margins " +
                              std::to_string(c.left) + "," + std::to_string(c.bottom) +
                              " palette " + std::to_string(c.high_palette) + " file at +" +
                              std::to_string(c.misalign);
    EXPECT_EQ(got_.status, want_.status) << where;
    EXPECT_EQ(got_.left, want_.left) << where;
    EXPECT_EQ(got_.bottom, want_.bottom) << where;
    EXPECT_EQ(got_.width, want_.width) << where;
    EXPECT_EQ(got_.height, want_.height) << where;
    EXPECT_TRUE(got_.dac == want_.dac)
        << where << ": DAC port sequences differ (" << got_.dac.size() << " accesses against "
        << want_.dac.size() << ")";
    // Compared whole first (one memcmp), searched byte by byte only when they differ.
    if (got_.frame_buffer != want_.frame_buffer) {
      const auto diff = std::mismatch(got_.frame_buffer.begin(), got_.frame_buffer.end(),
                                      want_.frame_buffer.begin(), want_.frame_buffer.end());
      ADD_FAILURE() << where << ": frame buffer differs first at offset "
                    << (diff.first - got_.frame_buffer.begin());
    }
    EXPECT_EQ(got_.counts.unclaimed, 0u) << where << ": a read left the file or a write the screen";
    EXPECT_EQ(got_.counts.guest_errors, 0u) << where;
    // The header fields the reference read as five unaligned dwords span up to four dwords more.
    EXPECT_LE(got_.counts.mmio.reads, want_.counts.mmio.reads + 4) << where;
    EXPECT_LE(got_.counts.mmio.writes, want_.counts.mmio.writes) << where;
  }

private:
  void Run(DrawFn draw, const Case &c, Outcome &o) {
    Scribble(fb_);
    const uint64_t base = kFileBase + c.misalign;
    // Memory has no empty region; a file of no bytes gets one byte it must not read.
    sim::RamDevice file(machine.bus, base, std::max<uint32_t>(c.length, 1), "file", 0xA5);
    std::memcpy(file.Data(), c.file.data(), c.length);
    o.dac.clear();
    dac_ = &o.dac;
    o.left = c.left;
    o.bottom = c.bottom;
    const sim::BusCounts before = machine.bus.Counts();
    o.status = draw(base, c.length, kBmpSizeLimit, kFrameBufferBase, &o.left, &o.bottom,
                    c.high_palette, &o.width, &o.height);
    const sim::BusCounts &after = machine.bus.Counts();
    o.counts.unclaimed = after.unclaimed - before.unclaimed;
    o.counts.guest_errors = after.guest_errors - before.guest_errors;
    o.counts.mmio.reads = after.mmio.reads - before.mmio.reads;
    o.counts.mmio.writes = after.mmio.writes - before.mmio.writes;
    o.frame_buffer.assign(fb_.Data(), fb_.Data() + fb_.Size());
  }

  sim::Machine machine;
  sim::RamDevice fb_{machine.bus, kFrameBufferBase, kFrameBufferSize, "frame-buffer"};
  std::vector<PortAccess> *dac_ = nullptr;
  Outcome want_, got_;
};

std::vector<uint8_t> ReadFile(const fs::path &path) {
  std::ifstream in(path, std::ios::binary);
  EXPECT_TRUE(in) << path;
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::vector<fs::path> FilesIn(const fs::path &dir, const std::string &extension = "") {
  std::vector<fs::path> files;
  for (const auto &entry : fs::directory_iterator(dir)) {
    if (entry.is_regular_file() && (extension.empty() || entry.path().extension() == extension)) {
      files.push_back(entry.path());
    }
  }
  std::sort(files.begin(), files.end());
  return files;
}

struct Margins {
  uint32_t left, bottom;
};
// Centred, every destination alignment, the boot screen's own positions, the screen's edges,
// and positions that push an image off the screen.
const Margins kAssortedMargins[] = {{0, 0},   {1, 1},    {2, 5},    {3, 17},   {4, 0},
                                    {0, 17},  {600, 17}, {600, 37}, {410, 17}, {630, 17},
                                    {799, 1}, {7, 599},  {790, 300}};

// Every assorted margin, each file alignment and palette half in turn.
void ExpectSameAtAssortedMargins(SideBySide &run, const std::string &name,
                                 const std::vector<uint8_t> &file) {
  unsigned n = 0;
  for (const Margins &m : kAssortedMargins) {
    for (unsigned misalign = 0; misalign < 4; ++misalign, ++n) {
      run.ExpectSameAsReference(
          {name, file, static_cast<uint32_t>(file.size()), m.left, m.bottom, n % 3, misalign});
    }
  }
}

// Files cut short around the headers' end and the last row, at every file alignment.
void ExpectSameWhenCut(SideBySide &run, const std::string &name, const std::vector<uint8_t> &file) {
  const uint32_t size = static_cast<uint32_t>(file.size());
  std::vector<uint32_t> lengths = {0, 1, 2, 3, 5, 53, 54, 55, 57};
  for (uint32_t cut = 1; cut <= 5; ++cut) {
    lengths.push_back(size - std::min(size, cut));
  }
  for (uint32_t length : lengths) {
    for (unsigned misalign = 0; misalign < 4; ++misalign) {
      run.ExpectSameAsReference({name, file, std::min(length, size), 0, 0, misalign % 2, misalign});
    }
  }
}

TEST(DrawEquivalence, EveryFuzzCorpusInput) {
  SideBySide run;
  const std::vector<fs::path> inputs = FilesIn(FUZZ_CORPUS_DIR);
  ASSERT_FALSE(inputs.empty());
  for (const fs::path &path : inputs) {
    const std::vector<uint8_t> input = ReadFile(path);
    if (input.size() < 9) {
      continue; // too short for the fuzz target too
    }
    // The fuzz target's layout: left margin, bottom margin, flags, then the file.
    uint32_t left, bottom;
    std::memcpy(&left, input.data(), 4);
    std::memcpy(&bottom, input.data() + 4, 4);
    if ((input[8] & 0x80) == 0) {
      left %= 1024;
      bottom %= 1024;
    }
    const std::vector<uint8_t> file(input.begin() + 9, input.end());
    const std::string name = path.filename().string();
    for (unsigned misalign = 0; misalign < 4; ++misalign) {
      run.ExpectSameAsReference(
          {name, file, static_cast<uint32_t>(file.size()), left, bottom, input[8] % 3u, misalign});
    }
    ExpectSameAtAssortedMargins(run, name, file);
    ExpectSameWhenCut(run, name, file);
  }
}

TEST(DrawEquivalence, EveryImageFixture) {
  SideBySide run;
  const std::vector<fs::path> fixtures = FilesIn(IMAGE_FIXTURES_DIR, ".bmp");
  ASSERT_GE(fixtures.size(), 5u);
  for (const fs::path &path : fixtures) {
    const std::vector<uint8_t> file = ReadFile(path);
    ExpectSameAtAssortedMargins(run, path.filename().string(), file);
    ExpectSameWhenCut(run, path.filename().string(), file);
  }
}

TEST(DrawEquivalence, TheDefaultArtworkAtItsPositions) {
  SideBySide run;
  for (const fs::path &path : FilesIn(sim::AssetsDir(), ".bmp")) {
    const std::vector<uint8_t> file = ReadFile(path);
    for (const Margins &m : {Margins{0, 0}, Margins{3, 17}, Margins{600, 37}, Margins{630, 17}}) {
      for (unsigned misalign : {0u, 3u}) {
        run.ExpectSameAsReference({path.filename().string(), file,
                                   static_cast<uint32_t>(file.size()), m.left, m.bottom, 1,
                                   misalign});
      }
    }
  }
}

// The BMP with `gap` extra bytes before its pixel data, so that rows start at any alignment.
std::vector<uint8_t> WithGap(std::vector<uint8_t> file, uint32_t gap) {
  uint32_t offBits;
  std::memcpy(&offBits, &file[10], 4);
  file.insert(file.begin() + offBits, gap, 0xC3);
  test::Put32(file, 10, offBits + gap);
  return file;
}

TEST(DrawEquivalence, EveryWidthAndAlignmentOfSmallImages) {
  SideBySide run;
  for (uint16_t bits : {4, 8}) {
    for (uint32_t width = 1; width <= 11; ++width) {
      test::BmpSpec s;
      s.width = width;
      s.height = 3;
      s.bits = bits;
      s.colours = bits == 4 ? 16 : 40;
      s.pixel = [bits](uint32_t x, uint32_t y) {
        return static_cast<uint8_t>((x * 37 + y * 11 + 5) % (bits == 4 ? 16 : 256));
      };
      for (uint32_t gap = 0; gap < 4; ++gap) {
        const std::vector<uint8_t> file = WithGap(test::MakeBmp(s), gap);
        const std::string name = std::to_string(bits) + "-bit, " + std::to_string(width) +
                                 " wide, gap " + std::to_string(gap);
        for (uint32_t left = 1; left <= 4; ++left) {
          run.ExpectSameAsReference({name, file, static_cast<uint32_t>(file.size()), left, 1 + gap,
                                     left % 3, (left + gap) % 4});
          run.ExpectSameAsReference({name, file, static_cast<uint32_t>(file.size()), left + 100, 7,
                                     gap % 2, (left + 2 * gap) % 4});
        }
      }
    }
  }
}

// The trough and bar, alone and over one another, against their byte-at-a-time reference.
TEST(DrawEquivalence, ProgressTroughAndBar) {
  auto draw = [](bool wide, uint16_t first, uint16_t second) {
    sim::Machine machine;
    sim::RamDevice fb(machine.bus, kFrameBufferBase, kFrameBufferSize, "frame-buffer");
    Scribble(fb);
    if (wide) {
      DrawProgressTrough(kFrameBufferBase);
      DrawProgressBar(first, kFrameBufferBase);
      DrawProgressBar(second, kFrameBufferBase);
    } else {
      reference::DrawProgressTrough(kFrameBufferBase);
      reference::DrawProgressBar(first, kFrameBufferBase);
      reference::DrawProgressBar(second, kFrameBufferBase);
    }
    EXPECT_EQ(machine.bus.Counts().unclaimed, 0u);
    return std::vector<uint8_t>(fb.Data(), fb.Data() + fb.Size());
  };
  for (uint16_t p = 0; p <= 101; ++p) {
    const uint16_t second = static_cast<uint16_t>((p * 7) % 40);
    EXPECT_TRUE(draw(true, p, second) == draw(false, p, second)) << p << " then " << second;
  }
  EXPECT_TRUE(draw(true, 65535, 0) == draw(false, 65535, 0));
}

} // namespace
