#include "app/request_serving.h"

#include "app/request_platform.h"

#include <new>
#include <stdexcept>

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

}  // namespace

void AnswerFailure(Platform& platform, const Environment& environment, std::ostream& out,
                   const std::exception& error) {
  const RequestLine line = RequestLineOf(environment);
  out << ReportFailure(platform, line.method, line.path, error);
}

RequestOutcome ServeRequest(Platform& platform, ProcessContext& process,
                            const Environment& environment, std::istream& in, std::ostream& out) {
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
    WriteResponse(out, bad);
    return RequestOutcome::kServed;
  }

  try {
    // The module's own operator messages carry the request; the failures
    // below are logged with it by AnswerFailure.
    const RequestLine line = RequestLineOf(environment);
    RequestPlatform request_platform(platform, line.method, line.path);
    TwmMain_ module(
        ServiceContext{process.config, *process.store, process.identity, request_platform});
    WebResponse response;
    if (module.HandleRequest(request, response)) WriteResponse(out, response);
  } catch (const std::bad_alloc& error) {
    AnswerFailure(platform, environment, out, error);
    return RequestOutcome::kProcessUnusable;
  } catch (const std::exception& error) {
    AnswerFailure(platform, environment, out, error);
  } catch (...) {
    AnswerFailure(platform, environment, out, std::runtime_error("Unknown failure"));
  }
  return RequestOutcome::kServed;
}

}  // namespace portavel
