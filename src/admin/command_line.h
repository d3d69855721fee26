// The admin tool's command line: a command, its arguments and options,
// with the options allowed before or after the command.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace portavel {

struct CommandLine {
  std::string command;                 // empty when none is given
  std::vector<std::string> arguments;  // the words after the command
  std::optional<std::string> config_path;
  std::vector<std::string> conditions;  // each --where FIELD=VALUE as typed
  bool help = false;
};

// Reads --config FILE, --where FIELD=VALUE (also written --name=value),
// --help and -h; "-" is an argument (standard input) and "--" ends the
// options. Throws UsageError for an unknown option or a missing value.
CommandLine ParseCommandLine(const std::vector<std::string>& args);

}  // namespace portavel
