// The same program as a FastCGI application: started once by the web
// server with a listening socket as its standard input, it serves one
// request after another. Each request runs exactly as a CGI request does
// (a fresh web module, the request's own variables, cookies, fields and
// clock reading); only the process context lives on: the configuration,
// the open store and the installation identity.
#pragma once

#include <ostream>

#include "app/request_serving.h"

namespace portavel {

class Platform;

// True when standard input is a socket that listens rather than a
// connection or a pipe: the way web servers start a FastCGI application.
bool StandardInputIsFastCgiListener();

// Serves requests from the listening socket on standard input until it is
// closed. `process_environment` names the configuration (PORTAVEL_CONFIG);
// request parameters never do. The process context is built at the first
// request and built again before a request when the configuration file or
// a database file was changed or replaced. When it cannot be built, or a
// request ran out of memory, that request is answered with the error
// response and the process ends with exit code 1 and a line on
// `diagnostics`; the web server starts a new one. Returns the exit code.
int RunFastCgiProgram(Platform& platform, const Environment& process_environment,
                      std::ostream& diagnostics);

}  // namespace portavel
