#include "app/cgi_program.h"

#include <exception>
#include <stdexcept>

#include "app/process_random.h"
#include "app/process_start.h"
#include "web/error_report.h"
#include "web/web_module.h"
#include "web/web_request.h"
#include "web/web_response.h"

namespace portavel {
namespace {

// The request line as the web server passed it, for the operator log: a
// failure may come before the request has been read, or from reading it.
struct RequestLine {
  std::string method;
  std::string path;
};

RequestLine RequestLineOf(const Environment& environment) {
  return {environment("REQUEST_METHOD").value_or(""), environment("PATH_INFO").value_or("")};
}

void WriteFailure(Platform& platform, const Environment& environment, std::ostream& out,
                  const std::exception& error) {
  const RequestLine line = RequestLineOf(environment);
  out << ReportFailure(platform, line.method, line.path, error);
}

}  // namespace

int RunCgiProgram(Platform& platform, const Environment& environment, std::istream& in,
                  std::ostream& out) {
  SeedProcessRandom(platform);
  ProcessContext process;
  // Every failure to start (configuration, a store that cannot be opened
  // or written, the identity row) is a well-formed status-500 response: a
  // bare line would reach the visitor as a page answered with 200.
  try {
    process = StartProcess(platform, environment);
  } catch (const std::exception& error) {
    WriteFailure(platform, environment, out, error);
    return 1;
  } catch (...) {
    WriteFailure(platform, environment, out, std::runtime_error("Unknown failure"));
    return 1;
  }

  WebRequest request;
  try {
    request = ReadCgiRequest(environment, in);
  } catch (const BadRequestError& error) {
    const RequestLine line = RequestLineOf(environment);
    LogFailure(platform, line.method, line.path, "EBadRequest", error.what());
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
    WriteFailure(platform, environment, out, error);
  } catch (...) {
    WriteFailure(platform, environment, out, std::runtime_error("Unknown failure"));
  }
  return 0;
}

}  // namespace portavel
