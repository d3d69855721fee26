// The admin tool's command line: a command, its arguments and options,
// with the options allowed before or after the command.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace portavel {

struct CommandLine {
  std::string command;                 // empty when none is given
  std::vector<std::string> arguments;  // the words after the command
  std::optional<std::string> config_path;
  std::vector<std::string> conditions;  // each --where FIELD=VALUE as typed
  // The mail server options of "smtp set" (--host, --port, --user, --from,
  // --for-user), keyed by option name, as typed.
  std::map<std::string, std::string> smtp_options;
  bool password_stdin = false;
  bool help = false;
  bool version = false;
};

// The options that only "smtp set" takes.
inline constexpr const char* kSmtpValueOptions[] = {"--host", "--port", "--user", "--from",
                                                    "--for-user"};
inline constexpr const char* kPasswordStdinOption = "--password-stdin";

// Reads --config FILE, --where FIELD=VALUE, the smtp set options (each
// also written --name=value), --password-stdin, --help, -h and --version;
// "-" is an argument (standard input) and "--" ends the options. Throws
// UsageError for an unknown option, a missing value or an smtp option given
// twice.
CommandLine ParseCommandLine(const std::vector<std::string>& args);

}  // namespace portavel
