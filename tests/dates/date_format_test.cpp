#include "dates/date_format.h"

#include <gtest/gtest.h>

namespace portavel {
namespace {

DateTime At(int year, int month, int day, int hour = 0, int minute = 0, int second = 0,
            int ms = 0) {
  return *DateTime::FromCivil(year, month, day, hour, minute, second, ms);
}

TEST(FormatDateTime, PatternLetters) {
  const DateTime afternoon = At(2026, 12, 10, 13, 5, 9, 7);
  const DateTime morning = At(2024, 3, 5, 8, 4, 3, 120);
  struct Case {
    const char* pattern;
    DateTime value;
    const char* text;
  };
  const Case cases[] = {
      {"m/d/yyyy", afternoon, "12/10/2026"},
      {"m/d/yyyy", morning, "3/5/2024"},
      {"mm/dd/yy", morning, "03/05/24"},
      {"MM-DD-YYYY", morning, "03-05-2024"},
      {"y yyy", morning, "24 2024"},
      {"h:nn:ss", afternoon, "13:05:09"},
      {"hh:nn:ss", morning, "08:04:03"},
      {"h:m:s", morning, "8:4:3"},       // "m" after "h" is minutes
      {"hh mm", afternoon, "13 05"},     // also across other characters
      {"h d m", afternoon, "13 10 12"},  // but not after another letter
      {"h:nn:ss ampm", afternoon, "1:05:09 PM"},
      {"h:nn:ss ampm", morning, "8:04:03 AM"},
      {"h:nn am/pm", afternoon, "1:05 pm"},
      {"h:nn AM/PM", morning, "8:04 AM"},
      {"h:nn Am/pM", afternoon, "1:05 pM"},
      {"h 'ampm' h ampm", afternoon, "13 ampm 1 PM"},  // quoted text is not a marker
      {"s.z|zzz", morning, "3.120|120"},
      {"s.z|zzz", afternoon, "9.7|007"},
      {"\"d\" d 'of' m", morning, "d 5 of 3"},
      {"yyyy-mm-dd'T'hh:nn", morning, "2024-03-05T08:04"},
      {"'unterminated", morning, "unterminated"},
      {"[d]x#", morning, "[5]x#"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FormatDateTime(c.pattern, c.value), c.text) << c.pattern;
  }
}

TEST(FormatDateTime, TwelveHourClock) {
  struct Case {
    int hour, minute;
    const char* text;
  };
  const Case cases[] = {
      {0, 0, "12:00:00 AM"},   {0, 30, "12:30:00 AM"},  {1, 5, "1:05:00 AM"},
      {11, 59, "11:59:00 AM"}, {12, 0, "12:00:00 PM"},  {12, 1, "12:01:00 PM"},
      {13, 0, "1:00:00 PM"},   {23, 59, "11:59:00 PM"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FormatLongTime(At(2026, 1, 1, c.hour, c.minute)), c.text) << c.hour;
  }
}

TEST(FormatDateTime, LocaleFormatsAndSeparators) {
  const DateTime value = At(2026, 12, 10, 13, 5, 9);
  EXPECT_EQ(FormatShortDate(value), "12/10/2026");
  EXPECT_EQ(FormatLongTime(value), "1:05:09 PM");
  EXPECT_EQ(FormatMmDdYy(At(2009, 1, 5)), "01-05-09");
  EXPECT_EQ(FormatMmDdYy(DateTime()), "12-30-99");

  LocaleFormats german;
  german.short_date = "dd/mm/yyyy";
  german.long_time = "hh:nn:ss";
  german.date_separator = '.';
  german.time_separator = '.';
  EXPECT_EQ(FormatShortDate(value, german), "10.12.2026");
  EXPECT_EQ(FormatLongTime(value, german), "13.05.09");
  EXPECT_EQ(FormatDateTime("d'/'m", value, german), "10/12");  // quoted separators stay
}

TEST(FormatDateTime, NumbersAndPadding) {
  struct Case {
    const char* pattern;
    DateTime value;
    const char* text;
  };
  const Case cases[] = {
      {"mm-dd-yy", At(2009, 1, 5), "01-05-09"},
      {"mm-dd-yy", At(2000, 12, 31), "12-31-00"},
      {"mm-dd-yy", At(1999, 7, 4), "07-04-99"},
      {"m/d/yy", At(2105, 10, 9), "10/9/05"},
      {"yyyy yy y", At(5, 2, 3), "0005 05 05"},
      {"yyyy yy", At(100, 2, 3), "0100 00"},
      {"yyyy|yy", At(9999, 12, 31), "9999|99"},
      {"hh:nn:ss.zzz", At(2024, 3, 5, 0, 0, 0, 0), "00:00:00.000"},
      {"h:n:s.z", At(2024, 3, 5, 23, 59, 59, 999), "23:59:59.999"},
      {"h:n:s.zzz", At(2024, 3, 5, 10, 10, 10, 10), "10:10:10.010"},
      // Outside the calendar's years and the day's hours a number keeps
      // its sign ahead of the padding zeros.
      {"yyyy|yy", DateTime(-700000, 0), "-017|-17"},
      {"h:nn:ss.zzz", DateTime(45000, -3600000), "-1:00:00.000"},
      {"hh:nn", DateTime(45000, DateTime::kMsPerDay), "24:00"},
      // Longer than any buffer a date is put together in.
      {"yyyy-mm-dd hh:nn:ss.zzz yyyy-mm-dd hh:nn:ss.zzz yyyy-mm-dd hh:nn:ss.zzz",
       At(2024, 3, 5, 8, 4, 3, 120),
       "2024-03-05 08:04:03.120 2024-03-05 08:04:03.120 2024-03-05 08:04:03.120"},
      {"'a quoted text well over sixty-four characters, to run past any buffer' d", At(2024, 3, 5),
       "a quoted text well over sixty-four characters, to run past any buffer 5"},
      {"d 'seventeen chars!' m", At(2024, 3, 5), "5 seventeen chars! 3"},
      {"\xe9t\xe9 d", At(2024, 3, 5), "\xe9t\xe9 5"},  // windows-1252 letters are text
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FormatDateTime(c.pattern, c.value), c.text) << c.pattern;
  }
}

// Pages format dates with several patterns in turn, with several locales;
// what one pattern or locale printed must not leak into the next.
TEST(FormatDateTime, PatternsAndLocalesInTurn) {
  const DateTime value = At(2026, 12, 10, 13, 5, 9, 7);
  LocaleFormats dotted;
  dotted.date_separator = '.';
  dotted.time_separator = '-';
  struct Case {
    const char* pattern;
    const char* text;
    const char* dotted_text;
  };
  const Case cases[] = {
      {"mm-dd-yy", "12-10-26", "12-10-26"},
      {"m/d/yyyy", "12/10/2026", "12.10.2026"},
      {"h:nn:ss ampm", "1:05:09 PM", "1-05-09 PM"},
      {"yyyy-mm-dd hh:nn:ss", "2026-12-10 13:05:09", "2026-12-10 13-05-09"},
      {"h:nn am/pm", "1:05 pm", "1-05 pm"},
      {"dd/mm 'at' h:nn AM/PM", "10/12 at 1:05 PM", "10.12 at 1-05 PM"},
  };
  for (int round = 0; round < 3; ++round) {
    for (const Case& c : cases) {
      EXPECT_EQ(FormatDateTime(c.pattern, value), c.text) << c.pattern;
      EXPECT_EQ(FormatDateTime(c.pattern, value, dotted), c.dotted_text) << c.pattern;
    }
  }
}

TEST(ParseShortDate, DefaultMonthDayYear) {
  struct Case {
    const char* text;
    DateTime date;
  };
  const Case cases[] = {
      {"12/10/2026", At(2026, 12, 10)}, {"07/07/2019", At(2019, 7, 7)},
      {"1/2/26", At(2026, 1, 2)},       {"1/2/49", At(2049, 1, 2)},
      {"1/2/50", At(1950, 1, 2)},       {"1/2/0", At(2000, 1, 2)},
      {"2/29/2024", At(2024, 2, 29)},   {" 3/4/2024 ", At(2024, 3, 4)},
      {"12/31/9999", At(9999, 12, 31)},
  };
  for (const Case& c : cases) EXPECT_EQ(ParseShortDate(c.text), c.date) << c.text;

  const char* const bad[] = {
      "",           "2/29/2025",       "13/1/2026",   "0/1/2026", "1/32/2026",
      "12-10-2026", "12/10",           "12/10/2026x", "12//2026", "12/10/20266",
      "/10/2026",   "12/10/2026 1:00", "a/1/2026",    "1/1/0000", "+1/1/2026",
  };
  for (const char* text : bad) EXPECT_FALSE(ParseShortDate(text)) << text;
}

TEST(ParseShortDate, FollowsLocaleOrderAndSeparator) {
  LocaleFormats day_first;
  day_first.short_date = "dd.mm.yyyy";
  day_first.date_separator = '.';
  EXPECT_EQ(ParseShortDate("10.12.2026", day_first), At(2026, 12, 10));
  EXPECT_FALSE(ParseShortDate("12/10/2026", day_first));

  LocaleFormats iso;
  iso.short_date = "yyyy-mm-dd";
  iso.date_separator = '-';
  EXPECT_EQ(ParseShortDate("2026-12-10", iso), At(2026, 12, 10));
  EXPECT_EQ(ParseShortDate(FormatShortDate(At(1, 1, 1), iso), iso), At(1, 1, 1));
}

TEST(ParseLongTime, TwelveAndTwentyFourHourForms) {
  struct Case {
    const char* text;
    int hour, minute, second;
  };
  const Case cases[] = {
      {"1:05:09 PM", 13, 5, 9},    {"1:05:09PM", 13, 5, 9},   {"1:05:09 pm", 13, 5, 9},
      {"12:00 AM", 0, 0, 0},       {"12:30:00 AM", 0, 30, 0}, {"12:00 PM", 12, 0, 0},
      {"11:59:59 PM", 23, 59, 59}, {"13:05", 13, 5, 0},       {"0:00:00", 0, 0, 0},
      {"23:59:59", 23, 59, 59},    {"07:08:09", 7, 8, 9},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ParseLongTime(c.text), DateTime(0, ((c.hour * 60 + c.minute) * 60 + c.second) * 1000))
        << c.text;
  }
  const char* const bad[] = {
      "",        "1",          "1:",          "13:05 PM", "0:30 AM", "24:00",   "1:60",
      "1:05:60", "1:05:09 XM", "1:05:09 PMX", "1:05:",    "123:00",  "1.05.09", "a:00",
  };
  for (const char* text : bad) EXPECT_FALSE(ParseLongTime(text)) << text;
}

TEST(ParseLongTime, ReadsBackEveryFormattedSecond) {
  for (int32_t ms = 0; ms < DateTime::kMsPerDay; ms += 1000) {
    const DateTime time(0, ms);
    ASSERT_EQ(ParseLongTime(FormatLongTime(time)), time) << FormatLongTime(time);
  }
}

TEST(ParseShortDate, ReadsBackFormattedDates) {
  for (DateTime date : {At(1, 1, 1), At(1899, 12, 30), At(1900, 3, 1), At(2000, 2, 29),
                        At(2024, 12, 31), At(9999, 12, 31)}) {
    EXPECT_EQ(ParseShortDate(FormatShortDate(date)), date) << FormatShortDate(date);
  }
}

}  // namespace
}  // namespace portavel
