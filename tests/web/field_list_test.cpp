#include "web/field_list.h"

#include <gtest/gtest.h>

namespace portavel {
namespace {

using Items = std::vector<FieldList::Item>;

TEST(FieldList, ParseQuerySplitsAndDecodes) {
  struct Case {
    const char* text;
    Items items;
  };
  const Case cases[] = {
      {"a=1&b=2", {{"a", "1"}, {"b", "2"}}},
      {"f=a+b%21", {{"f", "a b!"}}},
      {"a=1&&b=2&", {{"a", "1"}, {"b", "2"}}},  // empty items are skipped
      {"", {}},
      {"flag&x=", {{"flag", ""}, {"x", ""}}},
      {"e=%e9%C9", {{"e", "\xE9\xC9"}}},
      {"v=a=b", {{"v", "a=b"}}},
      // Split before decoding: escaped separators stay inside their part.
      {"k%3Dx=1%26y", {{"k=x", "1&y"}}},
      // A separator inside double quotes does not split; the quotes stay.
      {"q=\"x&y\"&b=2", {{"q", "\"x&y\""}, {"b", "2"}}},
      {"q=\"open&b=2", {{"q", "\"open&b=2"}}},
      // Broken escapes stay as they stand.
      {"a=%2&b=%zz&c=100%&d=%%41&e=%4g",
       {{"a", "%2"}, {"b", "%zz"}, {"c", "100%"}, {"d", "%A"}, {"e", "%4g"}}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FieldList::ParseQuery(c.text).items(), c.items) << c.text;
  }
}

TEST(FieldList, ParseCookiesTakesValuesAsTheyStand) {
  struct Case {
    const char* text;
    Items items;
  };
  const Case cases[] = {
      {"AccountID=123; Other=x", {{"AccountID", "123"}, {"Other", "x"}}},
      {"a=50%25; b=x+y", {{"a", "50%25"}, {"b", "x+y"}}},
      {"c=\"v;w\"; d=1", {{"c", "\"v;w\""}, {"d", "1"}}},
      {"  a=1;;  ; b=2 ;bare", {{"a", "1"}, {"b", "2 "}, {"bare", ""}}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FieldList::ParseCookies(c.text).items(), c.items) << c.text;
  }
}

TEST(FieldList, LookupIgnoresCaseAndTakesTheFirstItem) {
  const FieldList fields = FieldList::ParseQuery("AccountID=7&accountid=8&Empty=&caf%C9=yes");
  EXPECT_EQ(fields.Value("accountid"), "7");
  EXPECT_EQ(fields.Value("ACCOUNTID"), "7");
  EXPECT_EQ(fields.Value("caf\xE9"), "yes");  // windows-1252 letters fold too
  EXPECT_EQ(fields.Value("Missing"), "");
  EXPECT_EQ(fields.Value("Empty"), "");
  EXPECT_TRUE(fields.Contains("empty"));
  EXPECT_FALSE(fields.Contains("Missing"));
  EXPECT_FALSE(fields.Contains("Account"));
}

}  // namespace
}  // namespace portavel
