// Date and time text in the patterns the pages use, and the locale's
// short date and long time formats.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "dates/date_time.h"

namespace portavel {

// Pattern letters (case-insensitive): d, dd, m, mm, yy, yyyy, h, hh, n, nn
// (minutes; "m"/"mm" right after "h"/"hh" also mean minutes), s, ss, z, zzz,
// "am/pm" and "ampm" (12-hour clock; "ampm" prints "AM"/"PM", "am/pm"
// prints am or pm in the pattern's own case). "/" and ":" print the
// locale's separators; text in double or single quotes prints as it is;
// any other character prints as it is.
struct LocaleFormats {
  std::string short_date = "m/d/yyyy";
  std::string long_time = "h:nn:ss ampm";
  char date_separator = '/';
  char time_separator = ':';
};

// Without a locale, the default LocaleFormats apply. (Overloads rather
// than default arguments: a table of dates would otherwise build a
// LocaleFormats for every value.)
std::string FormatDateTime(std::string_view pattern, DateTime value);
std::string FormatDateTime(std::string_view pattern, DateTime value, const LocaleFormats& locale);

// "mm-dd-yy", the column format of the account pages.
std::string FormatMmDdYy(DateTime value);
std::string FormatShortDate(DateTime value);
std::string FormatShortDate(DateTime value, const LocaleFormats& locale);
std::string FormatLongTime(DateTime value);
std::string FormatLongTime(DateTime value, const LocaleFormats& locale);

// Reads a date in the order of the locale's short date pattern (month,
// day, year for the default). A two-digit year is 2000-based below 50 and
// 1900-based otherwise. Anything else gives nullopt.
std::optional<DateTime> ParseShortDate(std::string_view text,
                                       const LocaleFormats& locale = LocaleFormats());
// Reads "h:mm[:ss] [AM|PM]" (24-hour when no AM/PM).
std::optional<DateTime> ParseLongTime(std::string_view text);

}  // namespace portavel
