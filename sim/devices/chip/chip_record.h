// What the BMC chip saw of its start-up, for report.json ("display.chip"): who started it, its
// DRAM, and each DRAM bring-up attempt with its PHY initialisations, training searches (every
// value tried, pass or fail, the setting chosen) and memory tests.
#pragma once

#include <cstdint>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

namespace sim {

// One value a training search tried: the register value under test and whether the memory
// passed with it (every test of its series finished and passed).
struct ChipTrial {
  uint32_t setting = 0;
  bool passed = false;
  uint32_t margins = 0; // MCR3D0 after its last test
};

// A training search: sweeps of one PHY setting register (MCR2CC or MCR2C0), a new pass each
// time the swept value goes back, and the register's value when the search ended.
struct ChipSearch {
  uint32_t reg = 0; // MCR offset
  std::vector<std::vector<ChipTrial>> passes;
  std::optional<uint32_t> chosen;
  uint64_t start_ns = 0, end_ns = 0; // virtual time of its first trial and of its end
};

struct ChipPhyCounts {
  uint64_t started = 0;
  uint64_t completed = 0; // finished without error
  uint64_t failed = 0;    // finished reporting an error (MCR300)
  uint64_t aborted = 0;   // stopped while busy
};

struct ChipTestCounts {
  uint64_t burst = 0;
  uint64_t single = 0;
  uint64_t passed = 0;
  uint64_t failed = 0;
};

enum class ChipVerify : uint8_t { NotRun, Passed, Failed };

// From the first PHY initialisation after a verification (or the first ever) to the end of the
// next verification.
struct ChipAttempt {
  ChipPhyCounts phy;
  std::vector<ChipSearch> searches;
  ChipTestCounts tests;
  uint64_t verify_runs = 0;
  ChipVerify verify = ChipVerify::NotRun;
  std::optional<uint32_t> size_code; // MCR04 bits 1:0 when the controller's cache came up
  uint64_t start_ns = 0, end_ns = 0; // virtual time of its first and last event
};

// Virtual time of each stage of the start-up as the chip saw it (chip_timeline.h); a stage the
// start-up never reached is absent.
struct ChipPhases {
  std::optional<double> configure_us;    // first window access to the first PHY initialisation
  std::optional<double> dram_us;         // DRAM bring-up: every attempt, training included
  std::optional<double> finish_us;       // the last attempt to the start-up flags in SCU40
  std::optional<double> wait_running_us; // until the host saw CRTC 0xD0 bit 6
  std::optional<double> total_us;        // first to last activity
};

struct ChipRecord {
  std::string started_by; // "bmc", "module" or "nobody"
  bool running = false;   // CRTC 0xD0 bit 6 as the host sees it
  bool ddr4 = true;
  uint32_t size_mib = 0;
  bool dram_up = false;
  std::optional<uint32_t> size_code; // as the memory controller was last configured
  uint32_t vref_setting = 0;         // MCR2CC and MCR2C0 as they are now
  uint32_t delay_setting = 0;
  std::vector<ChipAttempt> attempts;
  ChipPhases phases;
  uint64_t unclaimed = 0; // internal addresses nothing decodes
};

nlohmann::json ChipRecordJson(const ChipRecord &record);

} // namespace sim
