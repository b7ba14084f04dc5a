// JSON as the tools read it from users: stricter than the JSON grammar. A key given twice in one
// object (where a lenient reader silently keeps one of them), nesting deeper than any input needs,
// and numbers beyond the range of a double are errors that say where they are.
#pragma once

#include <nlohmann/json.hpp>
#include <stdexcept>
#include <string>
#include <string_view>

namespace sim {

// Objects and arrays nest at most this deep in any input the tools read.
constexpr int kJsonMaxDepth = 32;

class JsonInputError : public std::runtime_error {
public:
  // `key`: the path of the offending key ("cost_model.io_us", "files[2].path"), or empty when the
  // text as a whole is not JSON. `what()` says what was expected there ("each key once in an
  // object, but it is given twice").
  JsonInputError(std::string key, const std::string &expected)
      : std::runtime_error(expected), key(std::move(key)) {}
  const std::string key;
};

nlohmann::json ParseJsonStrictly(std::string_view text);

} // namespace sim
