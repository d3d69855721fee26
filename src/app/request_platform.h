// The platform as one request sees it: everything passes through to the
// process's platform, and each operator message gets the time it was made
// and the request it belongs to, so that a line in the log says when and
// for what as well as what happened.
#pragma once

#include <string>

#include "platform/forwarding_platform.h"

namespace portavel {

class RequestPlatform : public ForwardingPlatform {
 public:
  // `method` and `path` as the web server passed them; empty ones show
  // as "-".
  RequestPlatform(Platform& process, std::string method, std::string path);

  // "yyyy-mm-dd hh:nn:ss METHOD /path: text".
  void OperatorMessage(std::string_view text) override;

 private:
  std::string request_line_;
};

}  // namespace portavel
