#include "dates/date_time.h"

#include <gtest/gtest.h>

namespace portavel {
namespace {

TEST(DateTimeCivil, KnownDays) {
  struct Case {
    int year, month, day;
    int32_t day_count;
    int day_of_week;  // 1 = Sunday
  };
  const Case cases[] = {
      {1899, 12, 30, 0, 7},       {1899, 12, 29, -1, 6},   {1900, 3, 1, 61, 5},
      {1970, 1, 1, 25569, 5},     {2000, 2, 29, 36585, 3}, {2024, 2, 29, 45351, 5},
      {1600, 2, 29, -109512, 3},  {2100, 3, 1, 73110, 2},  {1, 1, 1, -693593, 2},
      {9999, 12, 31, 2958465, 6},
  };
  for (const Case& c : cases) {
    std::optional<DateTime> date = DateTime::FromCivil(c.year, c.month, c.day);
    ASSERT_TRUE(date.has_value()) << c.year << "-" << c.month << "-" << c.day;
    EXPECT_EQ(date->day(), c.day_count) << c.year << "-" << c.month << "-" << c.day;
    EXPECT_EQ(date->ms_of_day(), 0);
    EXPECT_EQ(date->DayOfWeek(), c.day_of_week) << c.day_count;
  }
}

// Every day of years 1..9999 converts to its calendar fields and back,
// and consecutive days advance the calendar by exactly one day.
TEST(DateTimeCivil, EveryDayRoundTrips) {
  const int32_t first = DateTime::FromCivil(1, 1, 1)->day();
  const int32_t last = DateTime::FromCivil(9999, 12, 31)->day();
  int year = 1, month = 1, day = 1;
  for (int32_t d = first; d <= last; ++d) {
    const DateTime date = DateTime::FromDays(d);
    const int y = date.year(), m = date.month(), dom = date.day_of_month();
    if (d > first) {
      const bool next_day = y == year && m == month && dom == day + 1;
      const bool next_month = y == year && m == month + 1 && dom == 1;
      const bool next_year = y == year + 1 && m == 1 && dom == 1 && month == 12;
      ASSERT_TRUE(next_day || next_month || next_year) << d;
    }
    std::optional<DateTime> back = DateTime::FromCivil(y, m, dom);
    ASSERT_TRUE(back.has_value()) << d;
    ASSERT_EQ(back->day(), d);
    year = y, month = m, day = dom;
  }
}

TEST(DateTimeCivil, RejectsInvalidFields) {
  struct Case {
    int year, month, day, hour, minute, second, ms;
  };
  const Case cases[] = {
      {2025, 2, 29, 0, 0, 0, 0},   {1900, 2, 29, 0, 0, 0, 0}, {2024, 4, 31, 0, 0, 0, 0},
      {2024, 0, 1, 0, 0, 0, 0},    {2024, 13, 1, 0, 0, 0, 0}, {2024, 1, 0, 0, 0, 0, 0},
      {2024, 1, 32, 0, 0, 0, 0},   {0, 1, 1, 0, 0, 0, 0},     {10000, 1, 1, 0, 0, 0, 0},
      {2024, 1, 1, 24, 0, 0, 0},   {2024, 1, 1, 0, 60, 0, 0}, {2024, 1, 1, 0, 0, 60, 0},
      {2024, 1, 1, 0, 0, 0, 1000}, {2024, 1, 1, -1, 0, 0, 0}, {2024, 1, 1, 0, 0, 0, -1},
  };
  for (const Case& c : cases) {
    EXPECT_FALSE(
        DateTime::FromCivil(c.year, c.month, c.day, c.hour, c.minute, c.second, c.ms).has_value())
        << c.year << "-" << c.month << "-" << c.day << " " << c.hour << ":" << c.minute << ":"
        << c.second << "." << c.ms;
  }
}

TEST(DateTimeCivil, TimeFieldsAndMax) {
  const DateTime t = *DateTime::FromCivil(2026, 12, 10, 13, 5, 9, 7);
  EXPECT_EQ(t.hour(), 13);
  EXPECT_EQ(t.minute(), 5);
  EXPECT_EQ(t.second(), 9);
  EXPECT_EQ(t.millisecond(), 7);
  EXPECT_EQ(t.DateOnly(), *DateTime::FromCivil(2026, 12, 10));
  EXPECT_EQ(t.TimeOnly(), DateTime(0, t.ms_of_day()));

  EXPECT_EQ(DateTime::Max(), DateTime(2958465, DateTime::kMsPerDay - 1));
  EXPECT_EQ(DateTime::Max().ToIsoDateTime(), "9999-12-31 23:59:59.999");
  EXPECT_TRUE(DateTime().IsNoDate());
  EXPECT_FALSE(DateTime(0, 1).IsNoDate());
}

TEST(DateTimeIso, TextFormsRoundTrip) {
  struct Case {
    DateTime value;
    const char* text;
  };
  const Case cases[] = {
      {DateTime(0, 0), "1899-12-30 00:00:00"},
      {*DateTime::FromCivil(1900, 3, 1, 23, 59, 59), "1900-03-01 23:59:59"},
      {*DateTime::FromCivil(2024, 2, 29, 8, 7, 6, 5), "2024-02-29 08:07:06.005"},
      {*DateTime::FromCivil(1, 1, 1), "0001-01-01 00:00:00"},
      {DateTime::Max(), "9999-12-31 23:59:59.999"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.value.ToIsoDateTime(), c.text);
    EXPECT_EQ(DateTime::ParseIsoDateTime(c.text), c.value) << c.text;
    const std::string date = c.value.ToIsoDate();
    const std::string time = c.value.ToIsoTime();
    EXPECT_EQ(date + " " + time, c.text);
    EXPECT_EQ(DateTime::ParseIsoDate(date), c.value.DateOnly()) << date;
    EXPECT_EQ(DateTime::ParseIsoTime(time), c.value.TimeOnly()) << time;
  }
}

TEST(DateTimeIso, ParsingIsStrict) {
  const char* const bad_dates[] = {
      "",           "2025-02-29",          "2024-13-01",  "2024-00-10",
      "2024-04-31", "0000-01-01",          "2024-1-01",   "24-01-01",
      "2024/01/01", "2024-01-01 ",         " 2024-01-01", "2024-01-0a",
      "+024-01-01", "2024-01-01T00:00:00",
  };
  for (const char* text : bad_dates) EXPECT_FALSE(DateTime::ParseIsoDate(text)) << text;

  const char* const bad_times[] = {
      "",           "24:00:00",      "23:60:00",  "23:59:60", "1:00:00",   "12:00",
      "12:00:00.5", "12:00:00.1234", "12:00:00.", "12-00-00", "12:00:00 ", "-1:00:00",
  };
  for (const char* text : bad_times) EXPECT_FALSE(DateTime::ParseIsoTime(text)) << text;

  const char* const bad_date_times[] = {
      "2024-01-01",           "2024-01-01 ",         "2024-01-01T12:00:00",
      "2024-01-01  12:00:00", "2025-02-29 12:00:00", "2024-01-01 25:00:00",
  };
  for (const char* text : bad_date_times) EXPECT_FALSE(DateTime::ParseIsoDateTime(text)) << text;
}

}  // namespace
}  // namespace portavel
