#include "web/web_response.h"

#include <string>

#include "text/html_escape.h"

namespace portavel {
namespace {

constexpr std::string_view kCrLf = "\r\n";

// A CR or LF inside a header value would end the header early and let the
// value (a typed account ID, an exception message quoting a form field)
// add headers of its own, so both become blanks.
std::string OneLine(std::string_view value) {
  std::string line(value);
  for (char& c : line) {
    if (c == '\r' || c == '\n') c = ' ';
  }
  return line;
}

// Appends "name: value" CR LF, or nothing when the value is empty.
void AddHeader(std::string& out, std::string_view name, std::string_view value) {
  if (value.empty()) return;
  out += OneLine(name);
  out += ": ";
  out += OneLine(value);
  out += kCrLf;
}

std::string_view StandardReason(int code) {
  switch (code) {
    case 200:
      return "OK";
    case 301:
      return "Moved Permanently";
    case 302:
      return "Found";
    case 303:
      return "See Other";
    case 304:
      return "Not Modified";
    case 400:
      return "Bad Request";
    case 401:
      return "Unauthorized";
    case 403:
      return "Forbidden";
    case 404:
      return "Not Found";
    case 405:
      return "Method Not Allowed";
    case 500:
      return "Internal Server Error";
    case 503:
      return "Service Unavailable";
    default:
      return "";
  }
}

// The reason of the status line: one line of at most kMaxStatusReasonBytes.
// A long one (an exception message quoting a whole statement or a pasted
// field) made the web server reject the whole response; a control byte
// other than a line break has no place in a header either.
std::string StatusReason(std::string_view reason) {
  std::string line(reason.substr(0, kMaxStatusReasonBytes));
  for (char& c : line) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = ' ';
  }
  return line;
}

// A code set without a reason keeps its code: answering "200 OK" for it
// would report a failure as a success.
std::string StatusText(const WebResponse& response) {
  if (response.status_code <= 0) return "200 OK";
  std::string_view reason = response.reason;
  if (reason.empty()) reason = StandardReason(response.status_code);
  std::string text = std::to_string(response.status_code);
  if (!reason.empty()) {
    text += ' ';
    text += StatusReason(reason);
  }
  return text;
}

std::string TwoDigits(int value) {
  return std::string{static_cast<char>('0' + value / 10 % 10), static_cast<char>('0' + value % 10)};
}

// "Wdy, DD Mon YYYY HH:MM:SS GMT"
std::string ExpiresText(DateTime expires) {
  static constexpr std::string_view kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
  static constexpr std::string_view kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                 "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  std::string text(kDays[expires.DayOfWeek() - 1]);
  text += ", " + TwoDigits(expires.day_of_month()) + " ";
  text += kMonths[expires.month() - 1];
  std::string year = std::to_string(expires.year());
  text += " " + std::string(year.size() < 4 ? 4 - year.size() : 0, '0') + year;
  text += " " + TwoDigits(expires.hour()) + ":" + TwoDigits(expires.minute()) + ":" +
          TwoDigits(expires.second()) + " GMT";
  return text;
}

std::string CookieText(const Cookie& cookie) {
  std::string text = cookie.name + "=" + cookie.value + "; ";
  if (!cookie.domain.empty()) text += "domain=" + cookie.domain + "; ";
  if (!cookie.path.empty()) text += "path=" + cookie.path + "; ";
  if (!cookie.expires.IsNoDate()) text += "expires=" + ExpiresText(cookie.expires) + "; ";
  if (cookie.secure) text += "secure; ";
  if (cookie.http_only) text += "HttpOnly; ";
  if (!cookie.same_site.empty()) text += "SameSite=" + cookie.same_site + "; ";
  if (text.ends_with("; ")) text.resize(text.size() - 2);
  return text;
}

// The line that announces the content, and the blank line after it.
void AddContentLine(std::string& out) {
  out += "Content:";
  out += kCrLf;
  out += kCrLf;
}

// Everything before the content: the headers and the line that announces it.
std::string ResponseHead(const WebResponse& response) {
  std::string out;
  AddHeader(out, "Status", StatusText(response));
  AddHeader(out, "Location", response.location);
  AddHeader(out, "Allow", response.allow);
  for (const Cookie& cookie : response.cookies) AddHeader(out, "Set-Cookie", CookieText(cookie));
  AddHeader(out, "Derived-From", response.derived_from);
  AddHeader(out, "Title", response.title);
  AddHeader(out, "WWW-Authenticate", response.www_authenticate);
  for (const auto& [name, value] : response.custom_headers) AddHeader(out, name, value);
  AddHeader(out, "Content-Version", response.content_version);
  AddHeader(out, "Content-Encoding", response.content_encoding);
  AddHeader(out, "Content-Type", response.content_type);
  if (!response.content.empty()) {
    AddHeader(out, "Content-Length", std::to_string(response.content.size()));
  }
  AddContentLine(out);
  return out;
}

}  // namespace

std::string SerializeResponse(const WebResponse& response) {
  return ResponseHead(response) + response.content;
}

void WriteResponse(std::ostream& out, const WebResponse& response) {
  out << ResponseHead(response);
  out.write(response.content.data(), static_cast<std::streamsize>(response.content.size()));
}

// The names and message go into the page escaped: a message may quote
// what the visitor typed.
std::string ErrorResponseBytes(std::string_view class_name, std::string_view message) {
  const std::string body =
      "<html><title>Internal Server Error 500</title>\r\n"
      "<h1>Internal Server Error 500</h1><hr>\r\n"
      "Exception: " +
      HtmlEscape(class_name) + "<br>\r\nMessage: " + HtmlEscape(message) + "<br></html>\r\n";
  std::string out = "Status: 500 " + StatusReason(message) + "\r\n";
  out += "Content-Type: text/html\r\n";
  out += "Content-Length: " + std::to_string(body.size()) + "\r\n";
  AddContentLine(out);
  out += body;
  return out;
}

}  // namespace portavel
