// The CGI program: the web server starts it once per HTTP request, or once
// for many as a FastCGI application.
#include <cstdlib>
#include <iostream>
#include <string_view>

#include "app/cgi_program.h"
#include "app/fastcgi_program.h"
#include "platform/platform.h"
#include "platform/version.h"

namespace {

constexpr const char* kUsage =
    "Portavel: the customer portal of a propane and heating-fuel dealer, as a CGI program.\n"
    "\n"
    "A web server runs it once per request, with the request in the CGI variables\n"
    "(REQUEST_METHOD, PATH_INFO, SCRIPT_NAME, QUERY_STRING, CONTENT_LENGTH,\n"
    "CONTENT_TYPE, HTTP_COOKIE) and the body on standard input; the response goes to\n"
    "standard output. The configuration file is named by PORTAVEL_CONFIG, else\n"
    "portavel.toml beside this program, else /etc/portavel/portavel.toml.\n"
    "\n"
    "Started as a FastCGI application (standard input a listening socket, as\n"
    "spawn-fcgi or a web server's FastCGI module start it), it serves one request\n"
    "after another; PORTAVEL_CONFIG then comes from its own environment.\n"
    "\n"
    "Options (instead of a request):\n"
    "  --version   print the program's version and exit\n"
    "  -h, --help  this text\n"
    "\n"
    "Try it by hand:\n"
    "  REQUEST_METHOD=GET PATH_INFO=/Login PORTAVEL_CONFIG=demo/portavel.toml build/bin/Portavel\n";

}  // namespace

int main(int argc, char** argv) {
  if (argc > 1 && (std::string_view(argv[1]) == "--help" || std::string_view(argv[1]) == "-h")) {
    std::cout << kUsage;
    return 0;
  }
  if (argc > 1 && std::string_view(argv[1]) == "--version") {
    std::cout << "Portavel " << portavel::TVersion().VersionText() << "\n";
    return 0;
  }
  std::ios::sync_with_stdio(false);
  std::cin.tie(nullptr);
  portavel::Environment environment = [](std::string_view name) -> std::optional<std::string> {
    const char* value = std::getenv(std::string(name).c_str());
    if (!value) return std::nullopt;
    return std::string(value);
  };
  if (portavel::StandardInputIsFastCgiListener()) {
    return portavel::RunFastCgiProgram(portavel::SystemPlatform(), environment, std::cerr);
  }
  int code = portavel::RunCgiProgram(portavel::SystemPlatform(), environment, std::cin, std::cout);
  std::cout.flush();
  return code;
}
