// One CGI request from start to finish, with the process's input and
// output passed in so that tests can run it in process too.
#pragma once

#include <functional>
#include <istream>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>

namespace portavel {

class Platform;

using Environment = std::function<std::optional<std::string>(std::string_view)>;

// Returns the process exit code.
int RunCgiProgram(Platform& platform, const Environment& environment, std::istream& in,
                  std::ostream& out);

}  // namespace portavel
