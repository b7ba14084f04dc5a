#include "tools/bootsim/options.h"

#include <cstdio>
#include <system_error>

std::optional<sim::Scenario> LoadScenarioOrReport(const BootsimOptions &options) {
  if (!options.scenario) {
    return sim::DefaultScenario();
  }
  try {
    return sim::LoadScenario(*options.scenario);
  } catch (const sim::ScenarioError &e) {
    std::fprintf(stderr, "bootsim: %s\n", e.what());
    return std::nullopt;
  }
}

bool PrepareOutputDir(const BootsimOptions &options) {
  std::error_code ec;
  std::filesystem::create_directories(options.out, ec);
  if (ec) {
    std::fprintf(stderr, "bootsim: cannot create %s: %s\n", options.out.c_str(),
                 ec.message().c_str());
    return false;
  }
  return true;
}
