// Runs the built CGI program as the web server would: a fresh process with
// the CGI environment and the body on standard input; nothing else.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace portavel::testing {

struct CgiResult {
  std::string output;  // everything written to standard output
  int exit_code = -1;
};

// `environment` is the whole environment of the process; `arguments` come
// after the program name (a web server gives none).
CgiResult RunCgi(const std::map<std::string, std::string>& environment, const std::string& body,
                 const std::string& working_directory = "",
                 const std::vector<std::string>& arguments = {});

}  // namespace portavel::testing
