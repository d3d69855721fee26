// The CGI program: one process per HTTP request.
#include <cstdio>
#include <exception>
#include <string>

#include "app/process_start.h"
#include "platform/platform.h"

int main() {
  portavel::Platform& platform = portavel::SystemPlatform();
  try {
    portavel::ProcessContext context = portavel::StartProcess(platform);
    // The pages come with the web module; until then the program answers
    // plainly that it is installed and which database it serves.
    std::string body = context.version_text + "\r\n";
    std::printf("Content-Type: text/plain\r\nContent-Length: %zu\r\n\r\n%s", body.size(),
                body.c_str());
    return 0;
  } catch (const std::exception& e) {
    // Start-up failures go to the response stream as one line, before any request is served.
    std::printf("%s\n", e.what());
    return 1;
  }
}
