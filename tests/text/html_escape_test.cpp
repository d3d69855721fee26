#include "text/html_escape.h"

#include <gtest/gtest.h>

#include <string>

namespace portavel {
namespace {

using namespace std::string_literals;

TEST(HtmlEscape, EveryByteAlone) {
  struct Case {
    char byte;
    const char* text;
  };
  const Case special[] = {
      {'&', "&amp;"}, {'<', "&lt;"}, {'>', "&gt;"}, {'"', "&quot;"}, {'\'', "&#39;"},
  };
  for (const Case& c : special) EXPECT_EQ(HtmlEscape(std::string(1, c.byte)), c.text) << c.byte;
  // Everything else, control bytes and windows-1252 letters included, stays.
  for (int byte = 0; byte < 256; ++byte) {
    const std::string alone(1, static_cast<char>(byte));
    if (alone.find_first_of("&<>\"'") != std::string::npos) continue;
    EXPECT_EQ(HtmlEscape(alone), alone) << byte;
  }
}

TEST(HtmlEscape, RunsBetweenSpecialBytes) {
  struct Case {
    std::string value;
    std::string text;
  };
  const Case cases[] = {
      {"", ""},
      {"Smith & Sons", "Smith &amp; Sons"},
      {"<b>", "&lt;b&gt;"},
      {"&&", "&amp;&amp;"},
      {"O'Brien \"Jr\"", "O&#39;Brien &quot;Jr&quot;"},
      {"&leading", "&amp;leading"},
      {"trailing>", "trailing&gt;"},
      {"caf\xe9 \x80 5\xbd", "caf\xe9 \x80 5\xbd"},
      {"a\0<b\0"s, "a\0&lt;b\0"s},  // a NUL byte is data, not an end
      {"&amp;", "&amp;amp;"},       // escaping twice escapes twice
  };
  for (const Case& c : cases) {
    EXPECT_EQ(HtmlEscape(c.value), c.text) << c.value;
    // The appending form adds the same text after what is there.
    std::string out = "<td>";
    AppendHtmlEscaped(out, c.value);
    EXPECT_EQ(out, "<td>" + c.text) << c.value;
  }
}

}  // namespace
}  // namespace portavel
