// One CGI request from start to finish, with the process's input and
// output passed in so that tests can run it in process too.
#pragma once

#include <istream>
#include <ostream>

#include "app/request_serving.h"

namespace portavel {

class Platform;

// Returns the process exit code.
int RunCgiProgram(Platform& platform, const Environment& environment, std::istream& in,
                  std::ostream& out);

}  // namespace portavel
