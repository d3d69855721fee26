// One HTTP request as the web server hands it to a CGI process.
#pragma once

#include <cstddef>
#include <functional>
#include <istream>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

#include "web/field_list.h"

namespace portavel {

enum class RequestMethod { kGet, kPut, kPost, kHead, kOther };

// A request that cannot be read (bad or missing CGI variables, a body that
// is too long or shorter than declared).
class BadRequestError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct WebRequest {
  RequestMethod method = RequestMethod::kOther;
  std::string method_text;  // REQUEST_METHOD as sent
  std::string path_info;    // PATH_INFO, e.g. "/Login"
  std::string script_name;  // SCRIPT_NAME, e.g. "/cgi-bin/Portavel.exe"
  FieldList query_fields;
  FieldList content_fields;
  FieldList cookie_fields;
  std::string content;  // the body bytes

  // Any other header: the variable "HTTP_" + the name (upper case, "-" as "_").
  std::function<std::optional<std::string>(std::string_view)> environment;
  std::string Header(std::string_view name) const;
};

// Largest body the program reads; anything longer is refused unread.
inline constexpr size_t kMaxContentLength = 1 << 20;

// Reads the request from the CGI environment and exactly CONTENT_LENGTH
// bytes of `body`. Throws BadRequestError for a request it cannot read.
WebRequest ReadCgiRequest(
    const std::function<std::optional<std::string>(std::string_view)>& environment,
    std::istream& body);

}  // namespace portavel
