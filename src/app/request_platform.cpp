#include "app/request_platform.h"

#include "dates/date_format.h"

namespace portavel {

RequestPlatform::RequestPlatform(Platform& process, std::string method, std::string path)
    : ForwardingPlatform(process),
      request_line_((method.empty() ? "-" : method) + " " + (path.empty() ? "-" : path)) {}

void RequestPlatform::OperatorMessage(std::string_view text) {
  std::string line = FormatDateTime("yyyy-mm-dd hh:nn:ss", target().Now());
  line += ' ';
  line += request_line_;
  line += ": ";
  line += text;
  target().OperatorMessage(line);
}

}  // namespace portavel
