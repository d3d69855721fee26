#include "money/money.h"

#include <gtest/gtest.h>

#include <iterator>
#include <limits>
#include <stdexcept>
#include <vector>

namespace portavel {
namespace {

constexpr int64_t kMaxUnits = std::numeric_limits<int64_t>::max();
constexpr int64_t kMinUnits = std::numeric_limits<int64_t>::min();

Money M(int64_t units) {
  return Money::FromUnits(units);
}

TEST(MoneyParse, AcceptsSignsPointsAndThousands) {
  struct Case {
    const char* text;
    int64_t units;
  };
  const Case cases[] = {
      {"45.5", 455000},
      {"-0.0150", -150},
      {".25", 2500},
      {"5.", 50000},
      {"+7", 70000},
      {"0", 0},
      {"-0", 0},
      {"1,234.56", 12345600},
      {"12,345,678", 123456780000},
      {"922337203685477.5807", kMaxUnits},
      {"-922337203685477.5808", kMinUnits},
  };
  for (const Case& c : cases) {
    std::optional<Money> parsed = Money::Parse(c.text);
    ASSERT_TRUE(parsed.has_value()) << c.text;
    EXPECT_EQ(parsed->units(), c.units) << c.text;
  }
}

TEST(MoneyParse, RejectsMalformedAndOutOfRange) {
  const char* const cases[] = {
      "",
      "-",
      ".",
      "+.",
      "1.23456",
      "1.2.3",
      "--1",
      "1e5",
      " 1",
      "1 ",
      "abc",
      "1,23",
      ",123",
      "1,234,",
      "1234,567",
      "12,34",
      "1,234,56",
      "1,2a",
      "0x10",
      "1.-5",
      "1,234.5,6",
      "922337203685477.5808",
      "-922337203685477.5809",
      "99999999999999999999",
  };
  for (const char* text : cases) EXPECT_FALSE(Money::Parse(text).has_value()) << text;
}

TEST(MoneyText, GeneralAndFixedForms) {
  struct Case {
    int64_t units;
    const char* general;
    const char* fixed2;
    const char* fixed0;
  };
  const Case cases[] = {
      {455000, "45.5", "45.50", "46"},
      {1000000, "100", "100.00", "100"},
      {999900, "99.99", "99.99", "100"},
      {-150, "-0.015", "-0.02", "0"},
      {10050, "1.005", "1.01", "1"},
      {-10050, "-1.005", "-1.01", "-1"},
      {-40, "-0.004", "0.00", "0"},  // rounds to zero: no minus
      {0, "0", "0.00", "0"},
      {kMinUnits, "-922337203685477.5808", "-922337203685477.58", "-922337203685478"},
      {kMaxUnits, "922337203685477.5807", "922337203685477.58", "922337203685478"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(M(c.units).ToString(), c.general) << c.units;
    EXPECT_EQ(M(c.units).ToFixed(2), c.fixed2) << c.units;
    EXPECT_EQ(M(c.units).ToFixed(0), c.fixed0) << c.units;
  }
  EXPECT_EQ(M(12345).ToFixed(4), "1.2345");
  EXPECT_EQ(M(12345).ToFixed(3), "1.235");
}

TEST(MoneyText, ParseReadsBackGeneralForm) {
  for (int64_t units : {int64_t{0}, int64_t{1}, int64_t{-1}, int64_t{455000}, int64_t{-123456789},
                        kMaxUnits, kMinUnits}) {
    std::optional<Money> parsed = Money::Parse(M(units).ToString());
    ASSERT_TRUE(parsed.has_value()) << units;
    EXPECT_EQ(parsed->units(), units);
  }
}

TEST(MoneyFormat, DisplayPatterns) {
  struct Case {
    const char* pattern;
    int64_t units;
    const char* text;
  };
  const Case cases[] = {
      {"#,###,###.00", 12345000, "1,234.50"},
      {"#,###,###.00", 12345675000, "1,234,567.50"},
      {"#,###,###.00", 0, ".00"},
      {"#,###,###.00", 5000, ".50"},
      {"#,###,###.00", -12345000, "-1,234.50"},
      {"#,###,###.00", -49, ".00"},  // -0.0049 rounds to zero
      {"#,###,###.00", 50, ".01"},   // half away from zero
      {"#,###,###.00", -50, "-.01"},
      {"#,###,###.00", 12345678900000, "1,234,567,890.00"},  // grouping beyond the pattern
      {"#,###.00", 9999950, "1,000.00"},
      {"#,###.0", 12345600, "1,234.6"},
      {"#,###.0", 0, ".0"},
      {"#,###.0", -400, ".0"},
      {"#,###.0", -500, "-.1"},
      {"0.000", 150, "0.015"},
      {"0.000", 15000, "1.500"},
      {"0.000", -5, "-0.001"},
      {"0.00", -4, "0.00"},
      {"#,##0.00", 0, "0.00"},
      {"#.##", 0, ""},
      {"#.##", 5000, ".5"},
      {"#.##", 10000, "1"},
      {"0", 5000, "1"},
      {"0", -5000, "-1"},
      {"000", 70000, "007"},
      {"0,000.00", 50000, "0,005.00"},  // padding zeros are grouped as well
      {"0.000000", 15000, "1.500000"},
      {"$#,##0.00", -50000, "-$5.00"},
      {"0.0 'gal'", 12345, "1.2 gal"},
      {"", 455000, "45.5"},
      {"#,###.00", kMinUnits, "-922,337,203,685,477.58"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(M(c.units).Format(c.pattern), c.text) << c.pattern << " " << c.units;
  }
}

// The edges of the digit writing: rounding that carries into a new group,
// amounts below one, signs that round away, patterns without decimals or
// with more than money holds, padding, literal text and the 64-bit limits.
TEST(MoneyFormat, EdgeAmounts) {
  struct Case {
    const char* pattern;
    int64_t units;
    const char* text;
  };
  const Case cases[] = {
      {"#,###.00", 49, ".00"},
      {"#,###.00", 499, ".05"},
      {"#,###.00", -500, "-.05"},
      {"#,###.00", 9949, ".99"},
      {"#,###.00", 9950, "1.00"},  // carries into the whole part
      {"#,###.00", 99995, "10.00"},
      {"#,###.00", 9999949, "999.99"},
      {"#,###.00", -9999950, "-1,000.00"},  // and into a new group
      {"#,###.00", 9999999950, "1,000,000.00"},
      {"#,###.00", 1234567, "123.46"},
      {"#,###.00", 10000000, "1,000.00"},
      {"#,###.00", 1000100000, "100,010.00"},  // zeros inside and between groups
      {"#,###.0", 499, ".0"},
      {"#,###.0", 500, ".1"},
      {"#,###.0", -499, ".0"},
      {"#,###.0", 9950, "1.0"},
      {"#,###.0", 4560000, "456.0"},
      {"0", 4999, "0"},
      {"0", 5000, "1"},
      {"0", -4999, "0"},
      {"#", 4999, ""},
      {"#", 9999950, "1000"},
      {"#,##0", 12345675000, "1,234,568"},
      {"0.####", 50, "0.005"},
      {"0.####", 10000, "1"},
      {"0.####", -9999, "-0.9999"},
      {"0.0#0#", 500, "0.050"},  // the last "0" sets the decimals always shown
      {"0.0#0#", 9949, "0.9949"},
      {"#,##0.00000000", 50, "0.00500000"},  // beyond four decimals only zeros
      {"#,##0.00000000", 99995, "9.99950000"},
      {"0,000,000.00", 12345000, "0,001,234.50"},
      {"00000000000000000000000000", 9999950, "00000000000000000000001000"},
      {"'x'#.##'y' z", -50, "-x.01y z"},
      {"'x'#.##'y' z", 0, "xy z"},
      {"#,###.00", kMaxUnits, "922,337,203,685,477.58"},
      {"#,###.0", kMaxUnits, "922,337,203,685,477.6"},
      {"#,###.0", kMinUnits, "-922,337,203,685,477.6"},
      {"#,##0", kMaxUnits, "922,337,203,685,478"},  // rounds past the largest amount
      {"#", kMinUnits, "-922337203685478"},
      {"0.####", kMaxUnits, "922337203685477.5807"},
      {"0.####", kMinUnits, "-922337203685477.5808"},
      {"#,###.00", kMaxUnits - 5000, "922,337,203,685,477.08"},
      {"0,000,000,000,000,000,000,000.0000", kMinUnits, "-0,000,000,922,337,203,685,477.5808"},
      {"#,###.00", 999999999999999999, "100,000,000,000,000.00"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(M(c.units).Format(c.pattern), c.text) << c.pattern << " " << c.units;
  }
}

// A page formats its columns with patterns in turn; more patterns than any
// cache of them keeps must not mix up their layouts.
TEST(MoneyFormat, PatternsInTurn) {
  struct Case {
    const char* pattern;
    const char* text;  // for 12345.675
  };
  const Case cases[] = {
      {"#,###.00", "12,345.68"},   {"#,###.0", "12,345.7"},  {"0", "12346"},
      {"#,##0.000", "12,345.675"}, {"0.0000", "12345.6750"}, {"$#,##0.00", "$12,345.68"},
      {"#.#", "12345.7"},
  };
  const Money amount = M(123456750);
  for (int round = 0; round < 3; ++round) {
    for (const Case& c : cases) EXPECT_EQ(amount.Format(c.pattern), c.text) << c.pattern;
    for (auto c = std::rbegin(cases); c != std::rend(cases); ++c) {
      EXPECT_EQ((-amount).Format(c->pattern), std::string("-") + c->text) << c->pattern;
    }
  }
}

TEST(MoneyRounding, RoundToDecimals) {
  struct Case {
    int decimals;
    const char* value;
    const char* rounded;
  };
  const Case cases[] = {
      {2, "1.005", "1.01"},    {2, "-1.005", "-1.01"},   {0, "2.5", "3"},
      {0, "-2.5", "-3"},       {1, "0.04", "0"},         {1, "-0.04", "0"},
      {2, "2.675", "2.68"},    {2, "1.8510", "1.85"},    {2, "1.0049", "1"},
      {3, "1.2345", "1.235"},  {3, "-1.2344", "-1.234"}, {0, "0.4999", "0"},
      {4, "1.2345", "1.2345"}, {7, "1.2345", "1.2345"},  {-1, "1.2345", "1.2345"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(RoundToDecimals(c.decimals, *Money::Parse(c.value)), *Money::Parse(c.rounded))
        << c.decimals << " " << c.value;
  }
}

TEST(MoneyRounding, MultiplyRoundedRoundsAfterEachFactor) {
  struct Case {
    std::vector<const char*> factors;
    const char* product;
  };
  const Case cases[] = {
      {{"12.3456", "0.0725"}, "0.8951"},  // 0.895056
      {{"-12.3456", "0.0725"}, "-0.8951"},
      {{"12.3456", "-0.0725"}, "-0.8951"},
      {{"123.4", "1.5", "0.01"}, "1.851"},
      {{"0.0001", "0.5", "2"}, "0.0002"},  // 0.00005 rounds up before the last factor
      {{"0.0001", "0.4999"}, "0"},
      {{"-0.0001", "0.5"}, "-0.0001"},
      {{"7.25"}, "7.25"},
      {{}, "1"},
  };
  for (const Case& c : cases) {
    std::vector<Money> factors;
    for (const char* f : c.factors) factors.push_back(*Money::Parse(f));
    EXPECT_EQ(MultiplyRounded(factors), *Money::Parse(c.product)) << c.product;
  }
  EXPECT_EQ(MultiplyRoundedPair(M(kMaxUnits), Money::FromWhole(1)), M(kMaxUnits));
  EXPECT_EQ(MultiplyRoundedPair(M(kMinUnits), Money::FromWhole(1)), M(kMinUnits));
}

TEST(MoneyRounding, DivideRoundHalfEven) {
  struct Case {
    const char* numerator;
    const char* denominator;
    const char* quotient;
  };
  const Case cases[] = {
      {"1", "3", "0.3333"},
      {"2", "3", "0.6667"},
      {"-2", "3", "-0.6667"},
      {"0.0001", "2", "0"},
      {"0.0003", "2", "0.0002"},
      {"0.0005", "2", "0.0002"},
      {"-0.0003", "2", "-0.0002"},
      {"0.0003", "-2", "-0.0002"},
      {"-0.0005", "-2", "0.0002"},
      {"185.1", "123.4", "1.5"},
      {"10", "0", "0"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(DivideRoundHalfEven(*Money::Parse(c.numerator), *Money::Parse(c.denominator)),
              *Money::Parse(c.quotient))
        << c.numerator << " / " << c.denominator;
  }
}

TEST(MoneyRounding, ResultsOutsideTheRangeThrow) {
  EXPECT_THROW(RoundToDecimals(0, M(kMaxUnits)), std::overflow_error);
  EXPECT_THROW(RoundToDecimals(0, M(kMinUnits)), std::overflow_error);
  EXPECT_THROW(MultiplyRoundedPair(M(kMaxUnits), Money::FromWhole(2)), std::overflow_error);
  EXPECT_THROW(MultiplyRoundedPair(M(kMinUnits), Money::FromWhole(-1)), std::overflow_error);
  EXPECT_THROW(DivideRoundHalfEven(M(kMaxUnits), M(1)), std::overflow_error);
  EXPECT_THROW(DivideRoundHalfEven(M(kMinUnits), Money::FromWhole(-1)), std::overflow_error);
}

}  // namespace
}  // namespace portavel
