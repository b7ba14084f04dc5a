// Every key a scenario may hold, one row each: its path, its shape, what it takes (with its range)
// and its default. The scenario reader checks a whole document against these rows before any
// parser reads it, so a key without a row is an error wherever it appears, and docs/scenario.md
// lists the same rows (a test keeps the two equal). A new key is one row here, one line in the
// parser that reads it, and one line in the doc.
//
// Paths: "cost_model.io_us"; "[]" stands for every element of a list ("flash.volumes[].base").
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

namespace sim {

enum class KeyShape {
  kValue,      // a number, string, bool or list the key's parser checks
  kObject,     // an object whose keys have rows of their own
  kObjectList, // a list of objects whose keys have rows under "path[]"
  kMap,        // an object of free keys (PCD tokens, CPUID leaves) its parser checks
};

struct ScenarioKey {
  std::string_view path;
  KeyShape shape;
  std::string_view takes;         // what the key takes, with its range
  std::string_view default_value; // what an absent key means
};

const std::vector<ScenarioKey> &ScenarioKeys();

// The names of the keys an object at `path` may hold ("" for the top level), in table order.
std::vector<std::string_view> KnownKeysAt(std::string_view path);

// Checks every object of `doc` against the rows; throws ScenarioError naming the first key without
// one, or an object or list where the row wants the other.
void CheckScenarioKeys(const nlohmann::json &doc, const std::string &source);

} // namespace sim
