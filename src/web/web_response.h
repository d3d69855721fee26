// The response of one request and its exact bytes on standard output.
#pragma once

#include <cstddef>
#include <ostream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "dates/date_time.h"

namespace portavel {

struct Cookie {
  std::string name;
  std::string value;
  std::string domain;
  std::string path;
  DateTime expires;  // no date: a browser-session cookie
  bool secure = false;
  bool http_only = false;
  std::string same_site;  // "Lax", "Strict"; empty: no SameSite attribute
};

struct WebResponse {
  int status_code = 200;
  std::string reason;
  std::string content_type = "text/html";
  std::string content;
  std::vector<Cookie> cookies;
  std::string location;
  std::string allow;
  std::string derived_from;
  std::string title;
  std::string www_authenticate;
  std::vector<std::pair<std::string, std::string>> custom_headers;
  std::string content_version;
  std::string content_encoding;
};

// The longest reason a status line carries; the rest of a longer one is cut.
inline constexpr size_t kMaxStatusReasonBytes = 128;

// The header block and the content, exactly as the web server receives them.
std::string SerializeResponse(const WebResponse& response);
// The same bytes written to `out`, the content without a copy of its own.
void WriteResponse(std::ostream& out, const WebResponse& response);

// The response written when an exception escapes dispatching: status 500
// with the exception's class name and message. The status line carries
// the message as one line of at most kMaxStatusReasonBytes; the body
// carries all of it.
std::string ErrorResponseBytes(std::string_view class_name, std::string_view message);

}  // namespace portavel
