// One request served by a started process. The CGI program serves one per
// process; the FastCGI program serves one after another on the same
// process context.
#pragma once

#include <exception>
#include <functional>
#include <istream>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>

#include "app/process_start.h"

namespace portavel {

class Platform;

// The request's CGI variables: the process environment under CGI, the
// request's parameters under FastCGI.
using Environment = std::function<std::optional<std::string>(std::string_view)>;

enum class RequestOutcome {
  kServed,           // answered, with a page or the error response
  kProcessUnusable,  // answered with the error response, but the process ran out of memory
};

// Reads the request, runs a fresh web module on it and writes the response.
// Every failure is answered: 400 for a request that cannot be read, the
// error response (status 500 and an operator-log line) for anything the
// module throws.
RequestOutcome ServeRequest(Platform& platform, ProcessContext& process,
                            const Environment& environment, std::istream& in, std::ostream& out);

// The error response for a failure outside the module (the process context
// could not be started), with its operator-log line.
void AnswerFailure(Platform& platform, const Environment& environment, std::ostream& out,
                   const std::exception& error);

}  // namespace portavel
