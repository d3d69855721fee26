#include "web/web_response.h"

#include <gtest/gtest.h>

namespace portavel {
namespace {

Cookie Bare(std::string name, std::string value) {
  Cookie cookie;
  cookie.name = std::move(name);
  cookie.value = std::move(value);
  return cookie;
}

TEST(SerializeResponse, OneCookieAndOneByte) {
  WebResponse response;
  response.cookies.push_back(Bare("AccountID", "123"));
  response.content = "1";
  EXPECT_EQ(SerializeResponse(response),
            "Status: 200 OK\r\n"
            "Set-Cookie: AccountID=123\r\n"
            "Content-Type: text/html\r\n"
            "Content-Length: 1\r\n"
            "Content:\r\n"
            "\r\n"
            "1");
}

TEST(SerializeResponse, EmptyResponseHasNoLengthButTheContentLine) {
  WebResponse response;
  response.content_type.clear();
  EXPECT_EQ(SerializeResponse(response), "Status: 200 OK\r\nContent:\r\n\r\n");
}

TEST(SerializeResponse, HeadersInTheirOrder) {
  WebResponse response;
  response.status_code = 302;
  response.reason = "Moved";
  response.location = "/cgi-bin/Portavel.exe/Main";
  response.allow = "GET, POST";
  response.cookies = {Bare("a", "1"), Bare("b", "2")};
  response.derived_from = "d";
  response.title = "t";
  response.www_authenticate = "w";
  response.custom_headers = {{"X-One", "1"}, {"X-Empty", ""}, {"X-Two", "2"}};
  response.content_version = "v";
  response.content_encoding = "e";
  response.content_type = "text/plain";
  response.content = "h\xE9llo";
  EXPECT_EQ(SerializeResponse(response),
            "Status: 302 Moved\r\n"
            "Location: /cgi-bin/Portavel.exe/Main\r\n"
            "Allow: GET, POST\r\n"
            "Set-Cookie: a=1\r\n"
            "Set-Cookie: b=2\r\n"
            "Derived-From: d\r\n"
            "Title: t\r\n"
            "WWW-Authenticate: w\r\n"
            "X-One: 1\r\n"
            "X-Two: 2\r\n"
            "Content-Version: v\r\n"
            "Content-Encoding: e\r\n"
            "Content-Type: text/plain\r\n"
            "Content-Length: 5\r\n"
            "Content:\r\n"
            "\r\n"
            "h\xE9llo");
}

TEST(SerializeResponse, StatusLine) {
  struct Case {
    int code;
    const char* reason;
    const char* line;
  };
  const Case cases[] = {
      {200, "", "Status: 200 OK\r\n"},
      {201, "Created", "Status: 201 Created\r\n"},
      {0, "Odd", "Status: 200 OK\r\n"},
      {-1, "", "Status: 200 OK\r\n"},
      // A code without a reason keeps its code rather than claiming success.
      {404, "", "Status: 404 Not Found\r\n"},
      {599, "", "Status: 599\r\n"},
  };
  for (const Case& c : cases) {
    WebResponse response;
    response.status_code = c.code;
    response.reason = c.reason;
    EXPECT_TRUE(SerializeResponse(response).starts_with(c.line)) << c.code << " " << c.reason;
  }
}

TEST(SerializeResponse, CookieText) {
  const DateTime expires = *DateTime::FromCivil(2026, 3, 5, 7, 8, 9);
  const DateTime late = *DateTime::FromCivil(2027, 12, 26, 23, 59, 0);
  struct Case {
    const char* value;
    const char* domain;
    const char* path;
    DateTime expires;
    bool secure;
    const char* line;
  };
  const Case cases[] = {
      {"b", "example.com", "/cgi-bin", expires, true,
       "Set-Cookie: a=b; domain=example.com; path=/cgi-bin; "
       "expires=Thu, 05 Mar 2026 07:08:09 GMT; secure\r\n"},
      {"b", "", "", late, false, "Set-Cookie: a=b; expires=Sun, 26 Dec 2027 23:59:00 GMT\r\n"},
      {"", "", "/", DateTime(), false, "Set-Cookie: a=; path=/\r\n"},
      {"b", "", "", DateTime(), true, "Set-Cookie: a=b; secure\r\n"},
      // A line break in a value cannot start a header of its own.
      {"x\r\nLocation: y", "", "", DateTime(), false, "Set-Cookie: a=x  Location: y\r\n"},
  };
  for (const Case& c : cases) {
    WebResponse response;
    response.cookies = {Cookie()};
    Cookie& cookie = response.cookies.front();
    cookie.name = "a";
    cookie.value = c.value;
    cookie.domain = c.domain;
    cookie.path = c.path;
    cookie.expires = c.expires;
    cookie.secure = c.secure;
    EXPECT_EQ(SerializeResponse(response), std::string("Status: 200 OK\r\n") + c.line +
                                               "Content-Type: text/html\r\nContent:\r\n\r\n");
  }
}

TEST(SerializeResponse, CookieAttributesFollowTheDomainPathExpiryAndSecureFlag) {
  WebResponse response;
  Cookie cookie = Bare("s", "1");
  cookie.path = "/";
  cookie.http_only = true;
  cookie.same_site = "Lax";
  response.cookies = {cookie};
  cookie.secure = true;
  response.cookies.push_back(cookie);
  EXPECT_EQ(SerializeResponse(response),
            "Status: 200 OK\r\n"
            "Set-Cookie: s=1; path=/; HttpOnly; SameSite=Lax\r\n"
            "Set-Cookie: s=1; path=/; secure; HttpOnly; SameSite=Lax\r\n"
            "Content-Type: text/html\r\nContent:\r\n\r\n");
}

TEST(ErrorResponseBytes, ExactBytes) {
  EXPECT_EQ(ErrorResponseBytes("EDBEngineError", "Table is busy"),
            "Status: 500 Table is busy\r\n"
            "Content-Type: text/html\r\n"
            "Content-Length: 154\r\n"
            "Content:\r\n"
            "\r\n"
            "<html><title>Internal Server Error 500</title>\r\n"
            "<h1>Internal Server Error 500</h1><hr>\r\n"
            "Exception: EDBEngineError<br>\r\n"
            "Message: Table is busy<br></html>\r\n");
}

// A message may quote what the visitor typed (a tank number that is not a
// number): it must neither add headers nor put markup into the page.
TEST(ErrorResponseBytes, MessageCannotAddHeadersOrMarkup) {
  EXPECT_EQ(ErrorResponseBytes("E<T>", "'<b>\r\nSet-Cookie: a=1' is not a valid integer value"),
            "Status: 500 '<b>  Set-Cookie: a=1' is not a valid integer value\r\n"
            "Content-Type: text/html\r\n"
            "Content-Length: 202\r\n"
            "Content:\r\n"
            "\r\n"
            "<html><title>Internal Server Error 500</title>\r\n"
            "<h1>Internal Server Error 500</h1><hr>\r\n"
            "Exception: E&lt;T&gt;<br>\r\n"
            "Message: &#39;&lt;b&gt;\r\nSet-Cookie: a=1&#39; is not a valid integer "
            "value<br></html>\r\n");
}

// A web server refuses a response whose status line runs to kilobytes (a
// message quoting a long statement or a pasted field): the reason is cut to
// one line of 128 bytes, and the page still carries the whole message.
TEST(ErrorResponseBytes, TheStatusReasonIsOneShortLine) {
  const std::string message = "bad\tvalue\x01: " + std::string(100000, 'x');
  const std::string out = ErrorResponseBytes("EConvertError", message);
  const std::string status = out.substr(0, out.find("\r\n"));
  EXPECT_EQ(status, "Status: 500 bad value : " + std::string(kMaxStatusReasonBytes - 12, 'x'));
  EXPECT_NE(out.find("Message: " + message + "<br>"), std::string::npos);

  WebResponse response;
  response.status_code = 403;
  response.reason = std::string(300, 'r') + "\nSet-Cookie: a=1";
  const std::string serialized = SerializeResponse(response);
  EXPECT_EQ(serialized.substr(0, serialized.find("\r\n")),
            "Status: 403 " + std::string(kMaxStatusReasonBytes, 'r'));
  EXPECT_EQ(serialized.find("Set-Cookie"), std::string::npos);
}

}  // namespace
}  // namespace portavel
