#include "sim/pei/event_scenario.h"

#include "sim/pei/ppi_names.h"

namespace sim {

namespace {
std::vector<std::string> PpiNames(const nlohmann::json &value, const std::string &source,
                                  const std::string &key) {
  if (!value.is_array() || value.size() > kMaxScenarioEvents) {
    throw ScenarioError(source, key,
                        "a list of PPI names (" + PlatformPpiNameList() + "), at most " +
                            std::to_string(kMaxScenarioEvents));
  }
  std::vector<std::string> names;
  for (size_t i = 0; i < value.size(); ++i) {
    const std::string at = key + "[" + std::to_string(i) + "]";
    if (!value[i].is_string() || !PlatformPpiGuid(value[i].get<std::string>())) {
      throw ScenarioError(source, at,
                          "one of " + PlatformPpiNameList() + ", got " + value[i].dump());
    }
    names.push_back(value[i].get<std::string>());
  }
  return names;
}
} // namespace

PpiEventSetting ParsePpiEvents(const Scenario &scenario) {
  PpiEventSetting setting;
  const nlohmann::json &doc = scenario.raw;
  if (doc.contains("events")) {
    setting.events = PpiNames(doc["events"], scenario.source, "events");
  }
  if (doc.contains("preinstalled")) {
    setting.preinstalled = PpiNames(doc["preinstalled"], scenario.source, "preinstalled");
  }
  return setting;
}

} // namespace sim
