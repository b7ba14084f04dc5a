// Table-driven command lines: each option is one row (name, value, the commands that take it,
// help text, how it applies), so usage text and parsing come from the same data and a new option
// is one line. Options apply in the order given; `--help` or `-h` asks for the usage.
#pragma once

#include <algorithm>
#include <string>
#include <type_traits>
#include <vector>

template <typename State>
struct CommandOption {
  const char *name;  // "--scenario"
  const char *value; // "FILE"; null for a switch
  unsigned commands; // bit mask of the commands that take it (0: every command)
  const char *help;
  // Applies the option to `state`; returns an error text, empty when accepted.
  std::string (*apply)(State &state, const std::string &value);
};

enum class ParseOutcome { kRun, kHelp, kError };

// Applies `args` to `state` through `table`; operands (arguments not starting with '-') go to
// `operand`. On kError, `error` says which argument is wrong. `given` lists the options used.
template <typename State>
ParseOutcome
ParseCommandLine(const std::vector<CommandOption<State>> &table,
                 const std::vector<std::string> &args, State &state,
                 std::type_identity_t<std::string (*)(State &, const std::string &)> operand,
                 std::string *error, std::vector<const CommandOption<State> *> *given) {
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string &arg = args[i];
    if (arg == "--help" || arg == "-h") {
      return ParseOutcome::kHelp;
    }
    if (arg.size() > 1 && arg[0] == '-') {
      const CommandOption<State> *option = nullptr;
      for (const CommandOption<State> &o : table) {
        option = arg == o.name ? &o : option;
      }
      if (option == nullptr) {
        *error = "unknown option " + arg;
        return ParseOutcome::kError;
      }
      std::string value;
      if (option->value != nullptr) {
        if (i + 1 >= args.size()) {
          *error = arg + " needs a value (" + option->value + ")";
          return ParseOutcome::kError;
        }
        value = args[++i];
      }
      if (const std::string problem = option->apply(state, value); !problem.empty()) {
        *error = arg + ": " + problem;
        return ParseOutcome::kError;
      }
      given->push_back(option);
      continue;
    }
    if (operand == nullptr) {
      *error = "unexpected argument " + arg;
      return ParseOutcome::kError;
    }
    if (const std::string problem = operand(state, arg); !problem.empty()) {
      *error = problem;
      return ParseOutcome::kError;
    }
  }
  return ParseOutcome::kRun;
}

// One entry per option: "  --scenario FILE     help", the help wrapped at 100 columns.
template <typename State>
std::string OptionHelp(const std::vector<CommandOption<State>> &table) {
  constexpr size_t kHelpColumn = 22, kWidth = 100;
  std::string text;
  for (const CommandOption<State> &o : table) {
    std::string line = std::string("  ") + o.name + (o.value ? std::string(" ") + o.value : "");
    line.resize(std::max(line.size() + 2, kHelpColumn), ' ');
    const std::string help = o.help;
    size_t at = 0;
    while (at < help.size()) {
      size_t end = help.size();
      if (line.size() + (end - at) > kWidth) {
        end = help.rfind(' ', at + (kWidth - line.size()));
        end = end == std::string::npos || end <= at ? help.size() : end;
      }
      line += help.substr(at, end - at);
      text += line + "\n";
      line.assign(kHelpColumn, ' ');
      at = end + (end < help.size() ? 1 : 0);
    }
  }
  return text;
}
