#include "text/cp1252.h"

#include <gtest/gtest.h>

#include <string>

namespace portavel {
namespace {

std::string AllBytes(int from, int to) {
  std::string bytes;
  for (int b = from; b <= to; ++b) bytes += static_cast<char>(b);
  return bytes;
}

TEST(Cp1252, HighControlRangeMatchesWindowsTable) {
  // 0x80..0x9F; the undefined 0x81, 0x8D, 0x8F, 0x90 and 0x9D keep their
  // C1 code points.
  const std::string expected =
      "\xE2\x82\xAC\xC2\x81\xE2\x80\x9A\xC6\x92\xE2\x80\x9E\xE2\x80\xA6\xE2\x80\xA0\xE2\x80\xA1"
      "\xCB\x86\xE2\x80\xB0\xC5\xA0\xE2\x80\xB9\xC5\x92\xC2\x8D\xC5\xBD\xC2\x8F"
      "\xC2\x90\xE2\x80\x98\xE2\x80\x99\xE2\x80\x9C\xE2\x80\x9D\xE2\x80\xA2\xE2\x80\x93\xE2\x80\x94"
      "\xCB\x9C\xE2\x84\xA2\xC5\xA1\xE2\x80\xBA\xC5\x93\xC2\x9D\xC5\xBE\xC5\xB8";
  EXPECT_EQ(Cp1252ToUtf8(AllBytes(0x80, 0x9F)), expected);
  EXPECT_EQ(Utf8ToCp1252(expected), AllBytes(0x80, 0x9F));
}

TEST(Cp1252, AsciiAndLatin1Bytes) {
  EXPECT_EQ(Cp1252ToUtf8(std::string("A\0z", 3)), std::string("A\0z", 3));
  EXPECT_EQ(Cp1252ToUtf8("\xA0\xE9\xFF"), "\xC2\xA0\xC3\xA9\xC3\xBF");
  EXPECT_EQ(Utf8ToCp1252("caf\xC3\xA9 \xE2\x82\xAC"), "caf\xE9 \x80");
  EXPECT_EQ(Utf8ToCp1252(""), "");
}

TEST(Cp1252, EveryByteRoundTrips) {
  const std::string all = AllBytes(0, 255);
  EXPECT_EQ(Utf8ToCp1252(Cp1252ToUtf8(all)), all);
  for (int b = 0; b < 256; ++b) {
    const std::string one(1, static_cast<char>(b));
    EXPECT_EQ(Utf8ToCp1252(Cp1252ToUtf8(one)), one) << b;
  }
}

TEST(Cp1252, RefusesUnmappableCharactersAndBrokenUtf8) {
  const char* const cases[] = {
      "\xE4\xB8\xAD",          // U+4E2D
      "ok \xE4\xB8\xAD",       // after valid text
      "\xC2\x80",              // U+0080: 0x80 is the euro sign
      "\xC2\x9F",              // U+009F: 0x9F is Y with diaeresis
      "\xC4\x80",              // U+0100
      "\xF0\x9F\x98\x80",      // U+1F600
      "\x80",                  // stray continuation byte
      "\xFF",                  // never valid in UTF-8
      "\xE2\x82",              // truncated
      "\xC3",                  // truncated at the end
      "\xC3(",                 // lead byte without continuation
      "\xC0\x80",              // overlong NUL
      "\xE0\x80\xA9",          // overlong ")"
      "\xED\xA0\x80",          // surrogate
      "\xF4\x90\x80\x80",      // beyond U+10FFFF
      "\xF8\x88\x80\x80\x80",  // five-byte form
  };
  for (const char* text : cases) EXPECT_FALSE(Utf8ToCp1252(text).has_value()) << text;
}

TEST(Cp1252, UpperCaseFolding) {
  struct Case {
    unsigned char lower, upper;
  };
  const Case pairs[] = {
      {'a', 'A'},   {'z', 'Z'},   {0xE0, 0xC0}, {0xE9, 0xC9}, {0xF6, 0xD6}, {0xF8, 0xD8},
      {0xFE, 0xDE}, {0x9A, 0x8A}, {0x9C, 0x8C}, {0x9E, 0x8E}, {0xFF, 0x9F},
  };
  for (const Case& p : pairs) {
    EXPECT_EQ(ToUpper1252(static_cast<char>(p.lower)), static_cast<char>(p.upper)) << +p.lower;
    EXPECT_EQ(ToUpper1252(static_cast<char>(p.upper)), static_cast<char>(p.upper)) << +p.upper;
  }
  // Not letter pairs: sharp s, division sign, micro sign, digits, marks.
  for (int c :
       {0xDF, 0xF7, 0xB5, 0xAA, 0xBA, 0x83, int{'1'}, int{'@'}, int{'['}, int{'`'}, int{'{'}}) {
    EXPECT_EQ(ToUpper1252(static_cast<char>(c)), static_cast<char>(c)) << +c;
  }
  EXPECT_EQ(ToUpper1252("r\xE9sum\xE9 \x9Akoda \xFF"), "R\xC9SUM\xC9 \x8AKODA \x9F");
}

TEST(Cp1252, CaseInsensitiveComparison) {
  struct Case {
    const char* a;
    const char* b;
    int sign;
  };
  const Case cases[] = {
      {"Smith", "SMITH", 0}, {"\xE9t\xE9", "\xC9T\xC9", 0},
      {"abc", "ABD", -1},    {"abd", "ABC", 1},
      {"ab", "abc", -1},     {"abc", "AB", 1},
      {"", "", 0},           {"z", "\xE9", -1},  // high bytes compare unsigned
      {"\x9A", "\x8A", 0},   {"a", "\xE1", -1},
  };
  for (const Case& c : cases) {
    const int result = CompareNoCase1252(c.a, c.b);
    EXPECT_EQ((result > 0) - (result < 0), c.sign) << c.a << " vs " << c.b;
    EXPECT_EQ(EqualsNoCase1252(c.a, c.b), c.sign == 0) << c.a << " vs " << c.b;
  }
}

TEST(Cp1252, TrimRemovesBlanksAndControlCharacters) {
  using namespace std::string_literals;
  struct Case {
    std::string text, both, left, right;
  };
  const Case cases[] = {
      {" \t a b \r\n", "a b", "a b \r\n", " \t a b"},
      {"\0x\x1F"s, "x", "x\x1F", "\0x"s},
      {"   ", "", "", ""},
      {"", "", "", ""},
      {"\xA0x\xA0", "\xA0x\xA0", "\xA0x\xA0", "\xA0x\xA0"},  // no-break space is kept
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Trim(c.text), c.both);
    EXPECT_EQ(TrimLeft(c.text), c.left);
    EXPECT_EQ(TrimRight(c.text), c.right);
  }
}

}  // namespace
}  // namespace portavel
