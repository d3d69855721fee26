#include "app/cgi_program.h"

#include <exception>

#include "app/process_random.h"
#include "app/process_start.h"
#include "config/config_error.h"
#include "web/exception_names.h"
#include "web/web_module.h"
#include "web/web_request.h"
#include "web/web_response.h"

namespace portavel {
namespace {

void WriteError(std::ostream& out, const std::exception& error) {
  out << ErrorResponseBytes(ExceptionClassName(error), error.what());
}

}  // namespace

int RunCgiProgram(Platform& platform, const Environment& environment, std::istream& in,
                  std::ostream& out) {
  SeedProcessRandom(platform);
  ProcessContext process;
  try {
    process = StartProcess(platform, environment);
  } catch (const IdentityError& error) {
    // The identity must be known before any request is served.
    out << error.what() << "\n";
    return 1;
  } catch (const std::exception& error) {
    WriteError(out, error);
    return 1;
  }

  WebRequest request;
  try {
    request = ReadCgiRequest(environment, in);
  } catch (const BadRequestError& error) {
    WebResponse bad;
    bad.status_code = 400;
    bad.reason = "Bad Request";
    bad.content = std::string(error.what()) + "\r\n";
    bad.content_type = "text/plain";
    out << SerializeResponse(bad);
    return 0;
  }

  try {
    TwmMain_ module(ModuleContext{process.config, *process.store, process.identity, platform});
    WebResponse response;
    if (module.HandleRequest(request, response)) out << SerializeResponse(response);
  } catch (const std::exception& error) {
    WriteError(out, error);
  }
  return 0;
}

}  // namespace portavel
