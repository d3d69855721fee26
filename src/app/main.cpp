// The CGI program: the web server starts it once per HTTP request.
#include <cstdlib>
#include <iostream>

#include "app/cgi_program.h"
#include "platform/platform.h"

int main() {
  std::ios::sync_with_stdio(false);
  std::cin.tie(nullptr);
  portavel::Environment environment = [](std::string_view name) -> std::optional<std::string> {
    const char* value = std::getenv(std::string(name).c_str());
    if (!value) return std::nullopt;
    return std::string(value);
  };
  int code = portavel::RunCgiProgram(portavel::SystemPlatform(), environment, std::cin, std::cout);
  std::cout.flush();
  return code;
}
