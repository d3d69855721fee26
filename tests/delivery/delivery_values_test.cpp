#include "delivery/delivery_values.h"

#include <gtest/gtest.h>

namespace portavel {
namespace {

TEST(DeliveryValuesTest, IntegersAndAmounts) {
  EXPECT_EQ(ParseIntegerValue("15116"), 15116);
  EXPECT_EQ(ParseIntegerValue("-1"), -1);
  EXPECT_EQ(ParseIntegerValue(" +42 "), 42);
  EXPECT_EQ(ParseIntegerValue("2147483647"), 2147483647);
  const struct {
    const char* text;
    int64_t units;
  } amounts[] = {
      {"123.4", 1234000}, {"1.23", 12300},    {".5", 5000},    {"-2.25", -22500},
      {"7", 70000},       {"7.", 70000},      {"0.00005", 1},  {"-0.00005", -1},
      {"1.23454", 12345}, {"1.99995", 20000}, {"+3.1", 31000}, {" 2.5 ", 25000},
  };
  for (const auto& amount : amounts) {
    EXPECT_EQ(ParseCurrencyValue(amount.text), Money::FromUnits(amount.units)) << amount.text;
  }
}

TEST(DeliveryValuesTest, DatesInTheShortDateFormWithOrWithoutATime) {
  const struct {
    const char* text;
    const char* iso;
  } dates[] = {
      {"7/7/2019", "2019-07-07 00:00:00"},
      {"07/07/2019 14:30", "2019-07-07 14:30:00"},
      {"3/31/24 2:05:09 PM", "2024-03-31 14:05:09"},
      {"12/30/1899", "1899-12-30 00:00:00"},
  };
  for (const auto& date : dates) {
    EXPECT_EQ(ParseDateTimeValue(date.text).ToIsoDateTime(), date.iso) << date.text;
  }
  EXPECT_EQ(ParseDateTimeValue("9:15").ms_of_day(), (9 * 60 + 15) * 60'000);
  EXPECT_TRUE(ParseDateTimeValue("12/30/1899").IsNoDate()) << "day 0 is no date, as absent";
}

TEST(DeliveryValuesTest, WhatDoesNotReadIsAConversionError) {
  auto message = [](auto parse, const char* text) -> std::string {
    try {
      parse(text);
    } catch (const ConversionError& error) {
      return error.what();
    }
    return "(no error)";
  };
  const auto integer = [](const char* text) { ParseIntegerValue(text); };
  const auto currency = [](const char* text) { ParseCurrencyValue(text); };
  const auto date = [](const char* text) { ParseDateTimeValue(text); };
  for (const char* text : {"", "abc", "1.5", "12a", "2147483648", "0x10", "1 2"}) {
    EXPECT_EQ(message(integer, text), "'" + std::string(text) + "' is not a valid integer value");
  }
  for (const char* text : {"", ".", "-", "1,5", "1,234.50", "1e3", "$5", "1.2.3", "- 1"}) {
    EXPECT_EQ(message(currency, text),
              "'" + std::string(text) + "' is not a valid floating point value");
  }
  for (const char* text : {"", "2019-07-07", "13/1/2019", "2/30/2019", "7/7/2019 25:00", "noon"}) {
    EXPECT_EQ(message(date, text), "'" + std::string(text) + "' is not a valid date and time");
  }
}

}  // namespace
}  // namespace portavel
