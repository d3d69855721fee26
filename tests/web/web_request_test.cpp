#include "web/web_request.h"

#include <gtest/gtest.h>

#include <map>
#include <sstream>

namespace portavel {
namespace {

using Variables = std::map<std::string, std::string, std::less<>>;

std::function<std::optional<std::string>(std::string_view)> Environment(Variables variables) {
  return [variables = std::move(variables)](std::string_view name) -> std::optional<std::string> {
    const auto found = variables.find(name);
    if (found == variables.end()) return std::nullopt;
    return found->second;
  };
}

TEST(ReadCgiRequest, ReadsVariablesAndExactlyTheDeclaredBody) {
  std::istringstream body("AccountID=42&Pass=a+b%21&AccountID=43NEXT");
  const WebRequest request = ReadCgiRequest(Environment({{"REQUEST_METHOD", "POST"},
                                                         {"PATH_INFO", "/Main"},
                                                         {"SCRIPT_NAME", "/cgi-bin/Portavel.exe"},
                                                         {"QUERY_STRING", "x=%41"},
                                                         {"HTTP_COOKIE", "AccountID=123; Other=x"},
                                                         {"CONTENT_LENGTH", "37"},
                                                         {"HTTP_USER_AGENT", "Browser/1.0"},
                                                         {"HTTP_X_FORWARDED_FOR", "10.0.0.1"}}),
                                            body);
  EXPECT_EQ(request.method, RequestMethod::kPost);
  EXPECT_EQ(request.path_info, "/Main");
  EXPECT_EQ(request.script_name, "/cgi-bin/Portavel.exe");
  EXPECT_EQ(request.query_fields.Value("X"), "A");
  EXPECT_EQ(request.cookie_fields.Value("AccountID"), "123");
  EXPECT_EQ(request.content, "AccountID=42&Pass=a+b%21&AccountID=43");
  EXPECT_EQ(request.content_fields.Value("accountid"), "42");
  EXPECT_EQ(request.content_fields.Value("pass"), "a b!");
  EXPECT_EQ(request.Header("User-Agent"), "Browser/1.0");
  EXPECT_EQ(request.Header("x-forwarded-for"), "10.0.0.1");
  EXPECT_EQ(request.Header("Referer"), "");
  std::string rest;
  body >> rest;
  EXPECT_EQ(rest, "NEXT");  // nothing past the declared length was read
}

TEST(ReadCgiRequest, AbsentVariablesReadAsEmpty) {
  std::istringstream body("a=1");
  const WebRequest request = ReadCgiRequest(Environment({{"REQUEST_METHOD", "GET"}}), body);
  EXPECT_EQ(request.path_info, "");
  EXPECT_EQ(request.script_name, "");
  EXPECT_TRUE(request.query_fields.items().empty());
  EXPECT_TRUE(request.cookie_fields.items().empty());
  EXPECT_EQ(request.content, "");  // no CONTENT_LENGTH: the body is not read
  EXPECT_EQ(body.tellg(), 0);
  EXPECT_EQ(WebRequest().Header("Host"), "");
}

TEST(ReadCgiRequest, ClassifiesTheMethod) {
  struct Case {
    const char* text;
    RequestMethod method;
  };
  const Case cases[] = {
      {"GET", RequestMethod::kGet},   {"PUT", RequestMethod::kPut},
      {"POST", RequestMethod::kPost}, {"HEAD", RequestMethod::kHead},
      {"get", RequestMethod::kOther}, {"DELETE", RequestMethod::kOther},
  };
  for (const Case& c : cases) {
    std::istringstream body;
    const WebRequest request = ReadCgiRequest(Environment({{"REQUEST_METHOD", c.text}}), body);
    EXPECT_EQ(request.method, c.method) << c.text;
    EXPECT_EQ(request.method_text, c.text);
  }
}

TEST(ReadCgiRequest, ParsesTheBodyOnlyWhenFormEncoded) {
  struct Case {
    std::optional<std::string> content_type;
    bool parsed;
  };
  const Case cases[] = {
      {std::nullopt, true},
      {"", true},
      {"application/x-www-form-urlencoded", true},
      {"Application/X-WWW-Form-UrlEncoded; charset=windows-1252", true},
      {"multipart/form-data; boundary=x", false},
      {"text/plain", false},
  };
  for (const Case& c : cases) {
    Variables variables = {{"REQUEST_METHOD", "POST"}, {"CONTENT_LENGTH", "3"}};
    if (c.content_type) variables["CONTENT_TYPE"] = *c.content_type;
    std::istringstream body("a=1");
    const WebRequest request = ReadCgiRequest(Environment(variables), body);
    EXPECT_EQ(request.content, "a=1");
    EXPECT_EQ(request.content_fields.Value("a"), c.parsed ? "1" : "")
        << c.content_type.value_or("(absent)");
  }
}

TEST(ReadCgiRequest, RefusesRequestsItCannotRead) {
  struct Case {
    Variables variables;
    const char* body;
    const char* message;
  };
  constexpr const char* kShortBody = "The request body is shorter than its CONTENT_LENGTH";
  const std::string too_long = std::to_string(kMaxContentLength + 1);
  const Case cases[] = {
      {{}, "", "REQUEST_METHOD is not set"},
      {{{"REQUEST_METHOD", ""}}, "", "REQUEST_METHOD is not set"},
      {{{"REQUEST_METHOD", "POST"}, {"CONTENT_LENGTH", "abc"}},
       "abc",
       "CONTENT_LENGTH is not a number"},
      {{{"REQUEST_METHOD", "POST"}, {"CONTENT_LENGTH", "3x"}},
       "abc",
       "CONTENT_LENGTH is not a number"},
      {{{"REQUEST_METHOD", "POST"}, {"CONTENT_LENGTH", "-"}},
       "abc",
       "CONTENT_LENGTH is not a number"},
      {{{"REQUEST_METHOD", "POST"}, {"CONTENT_LENGTH", "-3"}}, "abc", "CONTENT_LENGTH is negative"},
      {{{"REQUEST_METHOD", "POST"}, {"CONTENT_LENGTH", too_long}},
       "abc",
       "The request body is longer than 1048576 bytes"},
      {{{"REQUEST_METHOD", "POST"}, {"CONTENT_LENGTH", "99999999999999999999999"}},
       "abc",
       "The request body is longer than 1048576 bytes"},
      {{{"REQUEST_METHOD", "POST"}, {"CONTENT_LENGTH", "10"}}, "abc", kShortBody},
  };
  for (const Case& c : cases) {
    std::istringstream body(c.body);
    try {
      ReadCgiRequest(Environment(c.variables), body);
      ADD_FAILURE() << "accepted: " << c.message;
    } catch (const BadRequestError& error) {
      EXPECT_STREQ(error.what(), c.message);
    }
    // Everything but a short body is refused before anything is read.
    if (std::string_view(c.message) != kShortBody) {
      EXPECT_EQ(body.tellg(), 0) << c.message;
    }
  }
}

}  // namespace
}  // namespace portavel
