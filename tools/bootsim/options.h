// Command-line options shared by bootsim's commands.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "sim/core/scenario.h"

struct BootsimOptions {
  std::optional<std::filesystem::path> scenario; // none: the built-in default board
  std::filesystem::path out = "out";
  bool frames = false;
  bool trace = false;
  std::optional<std::filesystem::path> image; // run this firmware image instead of the host build
  std::vector<std::string> args;              // operands after a sub-command
};

// The scenario the options name, or the built-in default. Prints a ScenarioError and returns
// nothing when the file cannot be used.
std::optional<sim::Scenario> LoadScenarioOrReport(const BootsimOptions &options);

// Creates the output directory; prints why and returns false when it cannot.
bool PrepareOutputDir(const BootsimOptions &options);
