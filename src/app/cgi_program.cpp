#include "app/cgi_program.h"

#include <exception>
#include <stdexcept>

#include "app/process_random.h"
#include "app/process_start.h"

namespace portavel {

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
    AnswerFailure(platform, environment, out, error);
    return 1;
  } catch (...) {
    AnswerFailure(platform, environment, out, std::runtime_error("Unknown failure"));
    return 1;
  }
  ServeRequest(platform, process, environment, in, out);
  return 0;
}

}  // namespace portavel
