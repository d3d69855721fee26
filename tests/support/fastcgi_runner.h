// FastCGI processes of the built program for the end-to-end tests, as a
// web server keeps them: one per process environment and working directory
// (forked copies of a test start their own), each started with a listening
// unix socket as its standard input, each request sent by cgi-fcgi with the
// request's CGI variables and body. The clock of the preloaded clock
// library comes from a file written before each request, so each request
// sees the time its test asked for.
#pragma once

#include <map>
#include <string>

#include "support/cgi_runner.h"

namespace portavel::testing {

// `environment` as RunCgi takes it: the CGI variables go with the request,
// FAKETIME becomes the request's clock, everything else is the FastCGI
// process's own environment. When the process ends after the request (it
// could not start, or ran out of memory), exit_code is its exit code and
// the next request starts a new one, as a web server does.
CgiResult RunFastCgiRequest(const std::map<std::string, std::string>& environment,
                            const std::string& body, const std::string& working_directory);

// Ends the FastCGI processes this process started (closing their socket
// ends their serving loop) and removes their folders. False when one of
// them ended otherwise than cleanly (a crash, a sanitizer report); what
// they wrote to standard error is passed on to this process's.
bool StopFastCgiProcesses();

}  // namespace portavel::testing
