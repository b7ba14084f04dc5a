#include "sim/core/json_input.h"

#include <set>
#include <vector>

namespace sim {

using nlohmann::json;

namespace {
// Where the parser is: one frame per open object or array.
struct Frame {
  bool object;
  std::set<std::string> keys; // objects: the keys seen so far
  std::string key;            // objects: the key whose value is being read
  size_t index = 0;           // arrays: the element being read
};

std::string PathOf(const std::vector<Frame> &frames, const std::string &last) {
  std::string path;
  for (size_t i = 0; i < frames.size(); ++i) {
    const bool innermost = i + 1 == frames.size();
    if (frames[i].object) {
      const std::string &k = innermost ? last : frames[i].key;
      path += (path.empty() ? "" : ".") + k;
    } else if (!innermost) {
      path += "[" + std::to_string(frames[i].index) + "]";
    }
  }
  return path;
}

void ElementDone(std::vector<Frame> &frames) {
  if (!frames.empty() && !frames.back().object) {
    ++frames.back().index;
  }
}
} // namespace

json ParseJsonStrictly(std::string_view text) {
  std::vector<Frame> frames;
  const json::parser_callback_t check = [&](int, json::parse_event_t event, json &parsed) {
    switch (event) {
    case json::parse_event_t::object_start:
    case json::parse_event_t::array_start:
      if (frames.size() >= static_cast<size_t>(kJsonMaxDepth)) {
        throw JsonInputError(PathOf(frames, frames.empty() ? "" : frames.back().key),
                             "at most " + std::to_string(kJsonMaxDepth) +
                                 " levels of nesting, but it opens one more");
      }
      frames.push_back({event == json::parse_event_t::object_start, {}, {}, 0});
      break;
    case json::parse_event_t::key: {
      Frame &f = frames.back();
      const std::string key = parsed.get<std::string>();
      if (!f.keys.insert(key).second) {
        throw JsonInputError(PathOf(frames, key),
                             "each key once in an object, but it is given twice");
      }
      f.key = key;
      break;
    }
    case json::parse_event_t::object_end:
    case json::parse_event_t::array_end:
      frames.pop_back();
      ElementDone(frames);
      break;
    case json::parse_event_t::value:
      ElementDone(frames);
      break;
    }
    return true;
  };
  try {
    return json::parse(text.begin(), text.end(), check);
  } catch (const JsonInputError &) {
    throw;
  } catch (const json::exception &e) {
    // Syntax errors and numbers out of range; the parser's message gives line and column.
    throw JsonInputError("", std::string("valid JSON: ") + e.what());
  }
}

} // namespace sim
