#include "admin/command_line.h"

#include "admin/admin_error.h"

namespace portavel {
namespace {

// The value of an option that takes one: "--name=value" or the next word.
std::string OptionValue(const std::vector<std::string>& args, size_t* at, const std::string& name) {
  const std::string& word = args[*at];
  if (word.size() > name.size() && word[name.size()] == '=') return word.substr(name.size() + 1);
  if (*at + 1 >= args.size()) throw UsageError(name + " needs a value");
  return args[++*at];
}

bool IsOption(const std::string& word, const std::string& name) {
  return word == name || word.starts_with(name + "=");
}

const char* SmtpValueOption(const std::string& word) {
  for (const char* name : kSmtpValueOptions) {
    if (IsOption(word, name)) return name;
  }
  return nullptr;
}

}  // namespace

CommandLine ParseCommandLine(const std::vector<std::string>& args) {
  CommandLine line;
  bool options_ended = false;
  for (size_t at = 0; at < args.size(); ++at) {
    const std::string& word = args[at];
    bool is_word = options_ended || word == "-" || !word.starts_with("-");
    if (is_word) {
      if (line.command.empty()) {
        line.command = word;
      } else {
        line.arguments.push_back(word);
      }
    } else if (word == "--") {
      options_ended = true;
    } else if (word == "--help" || word == "-h") {
      line.help = true;
    } else if (word == "--version") {
      line.version = true;
    } else if (IsOption(word, "--config")) {
      line.config_path = OptionValue(args, &at, "--config");
    } else if (IsOption(word, "--where")) {
      line.conditions.push_back(OptionValue(args, &at, "--where"));
    } else if (word == kPasswordStdinOption) {
      line.password_stdin = true;
    } else if (const char* name = SmtpValueOption(word)) {
      std::string value = OptionValue(args, &at, name);
      if (!line.smtp_options.emplace(name, value).second) {
        throw UsageError(std::string(name) + " given twice");
      }
    } else {
      throw UsageError("unknown option " + word);
    }
  }
  return line;
}

}  // namespace portavel
