// Runs the built program as the web server would. As CGI (the default): a
// fresh process with the CGI environment and the body on standard input;
// nothing else. As FastCGI (PORTAVEL_E2E_MODE=fastcgi in the test's own
// environment): the same environment and body as one request to a
// long-running FastCGI process of the program (see fastcgi_runner.h).
#pragma once

#include <map>
#include <string>
#include <vector>

namespace portavel::testing {

struct CgiResult {
  std::string output;  // everything written to standard output
  int exit_code = -1;
  // The FastCGI process that answered; 0 when the request ran as CGI.
  int fastcgi_pid = 0;
};

// True when PORTAVEL_E2E_MODE=fastcgi.
bool FastCgiMode();

// `environment` is the whole environment of the process.
CgiResult RunCgi(const std::map<std::string, std::string>& environment, const std::string& body,
                 const std::string& working_directory = "");

// Runs `program` with the arguments and exactly the environment entries
// ("NAME=value"), the body on standard input, and collects its output.
CgiResult RunProgram(const std::string& program, const std::vector<std::string>& arguments,
                     const std::vector<std::string>& environment_entries, const std::string& body,
                     const std::string& working_directory);

// The environment entries of the program for `environment`, with the
// sanitizer options of the test run added.
std::vector<std::string> ProgramEnvironment(const std::map<std::string, std::string>& environment);

// Removes what the preloaded clock library left of an earlier process with
// this id that was killed; async-signal-safe.
void RemoveStaleClockSegments(int pid);

}  // namespace portavel::testing
