// A helper program for the tests (a Python server), started in the
// background; its first line on standard output says whether it is ready.
#pragma once

#include <sys/types.h>

#include <filesystem>
#include <string>
#include <vector>

namespace portavel::testing {

struct StartedProcess {
  pid_t pid = 0;           // 0: it could not be started
  std::string first_line;  // without the line end; "" when it ended or stayed silent
};

// Starts argv (argv[0] a full path) with standard input from /dev/null and
// standard error to `error_file`, and waits up to 20 seconds for its first
// line on standard output. Later output goes nowhere: the pipe is closed.
StartedProcess StartHelperProcess(const std::vector<std::string>& argv,
                                  const std::filesystem::path& error_file);

// SIGTERM, then waits for it to end.
void StopHelperProcess(pid_t pid);

}  // namespace portavel::testing
