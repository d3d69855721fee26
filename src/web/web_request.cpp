#include "web/web_request.h"

#include <string>

#include "text/cp1252.h"

namespace portavel {
namespace {

using Environment = std::function<std::optional<std::string>(std::string_view)>;

std::string Variable(const Environment& environment, std::string_view name) {
  if (!environment) return std::string();
  return environment(name).value_or(std::string());
}

RequestMethod ClassifyMethod(std::string_view text) {
  if (text == "GET") return RequestMethod::kGet;
  if (text == "PUT") return RequestMethod::kPut;
  if (text == "POST") return RequestMethod::kPost;
  if (text == "HEAD") return RequestMethod::kHead;
  return RequestMethod::kOther;
}

// The declared body length; 0 when none is declared.
size_t ContentLength(std::string_view text) {
  if (text.empty()) return 0;
  const bool negative = text.front() == '-';
  if (negative) text.remove_prefix(1);
  if (text.empty()) throw BadRequestError("CONTENT_LENGTH is not a number");
  size_t length = 0;
  for (char c : text) {
    if (c < '0' || c > '9') throw BadRequestError("CONTENT_LENGTH is not a number");
    // Capped so that an absurd length cannot overflow; it is refused below.
    if (length <= kMaxContentLength) length = length * 10 + static_cast<size_t>(c - '0');
  }
  if (negative && length > 0) throw BadRequestError("CONTENT_LENGTH is negative");
  if (length > kMaxContentLength) {
    throw BadRequestError("The request body is longer than " + std::to_string(kMaxContentLength) +
                          " bytes");
  }
  return length;
}

std::string ReadBody(std::istream& body, size_t length) {
  std::string content(length, '\0');
  if (length == 0) return content;
  body.read(content.data(), static_cast<std::streamsize>(length));
  if (static_cast<size_t>(body.gcount()) != length) {
    throw BadRequestError("The request body is shorter than its CONTENT_LENGTH");
  }
  return content;
}

bool IsFormEncoded(std::string_view content_type) {
  constexpr std::string_view kForm = "application/x-www-form-urlencoded";
  return content_type.empty() || (content_type.size() >= kForm.size() &&
                                  EqualsNoCase1252(content_type.substr(0, kForm.size()), kForm));
}

}  // namespace

std::string WebRequest::Header(std::string_view name) const {
  std::string variable = "HTTP_" + ToUpper1252(name);
  for (char& c : variable) {
    if (c == '-') c = '_';
  }
  return Variable(environment, variable);
}

WebRequest ReadCgiRequest(const Environment& environment, std::istream& body) {
  WebRequest request;
  request.method_text = Variable(environment, "REQUEST_METHOD");
  if (request.method_text.empty()) throw BadRequestError("REQUEST_METHOD is not set");
  request.method = ClassifyMethod(request.method_text);
  request.path_info = Variable(environment, "PATH_INFO");
  request.script_name = Variable(environment, "SCRIPT_NAME");
  request.query_fields = FieldList::ParseQuery(Variable(environment, "QUERY_STRING"));
  request.cookie_fields = FieldList::ParseCookies(Variable(environment, "HTTP_COOKIE"));
  request.content = ReadBody(body, ContentLength(Variable(environment, "CONTENT_LENGTH")));
  if (IsFormEncoded(Variable(environment, "CONTENT_TYPE"))) {
    request.content_fields = FieldList::ParseQuery(request.content);
  }
  request.environment = environment;
  return request;
}

}  // namespace portavel
