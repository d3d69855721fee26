#include "dates/date_format.h"

#include <cctype>
#include <cstdio>

namespace portavel {
namespace {

char Upper(char c) {
  return static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
}

bool StartsWithNoCase(std::string_view text, size_t pos, std::string_view prefix) {
  if (text.size() - pos < prefix.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i) {
    if (Upper(text[pos + i]) != Upper(prefix[i])) return false;
  }
  return true;
}

void AppendNumber(std::string& out, int value, int min_digits) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "%0*d", min_digits, value);
  out += buffer;
}

// An hour letter uses the 12-hour clock when the next "a" or "h" after it,
// outside quotes, starts "am/pm" or "ampm".
bool UsesTwelveHourClock(std::string_view pattern, size_t pos) {
  char quote = 0;
  for (; pos < pattern.size(); ++pos) {
    char c = pattern[pos];
    if (quote != 0) {
      if (c == quote) quote = 0;
    } else if (c == '"' || c == '\'') {
      quote = c;
    } else if (Upper(c) == 'H') {
      return false;
    } else if (Upper(c) == 'A') {
      return StartsWithNoCase(pattern, pos, "am/pm") || StartsWithNoCase(pattern, pos, "ampm");
    }
  }
  return false;
}

// Length of the run of `c` (either case) at pos.
size_t RunLength(std::string_view pattern, size_t pos) {
  size_t end = pos;
  while (end < pattern.size() && Upper(pattern[end]) == Upper(pattern[pos])) ++end;
  return end - pos;
}

// Reads one unsigned number of 1..max_digits digits at pos.
bool ReadNumber(std::string_view text, size_t& pos, size_t max_digits, int& value) {
  size_t start = pos;
  value = 0;
  while (pos < text.size() && pos - start < max_digits && text[pos] >= '0' && text[pos] <= '9') {
    value = value * 10 + (text[pos++] - '0');
  }
  return pos > start && (pos == text.size() || text[pos] < '0' || text[pos] > '9');
}

void SkipBlanks(std::string_view text, size_t& pos) {
  while (pos < text.size() && text[pos] == ' ') ++pos;
}

}  // namespace

std::string FormatDateTime(std::string_view pattern, DateTime value, const LocaleFormats& locale) {
  const int year = value.year();
  std::string out;
  char last_letter = 0;  // the previous pattern letter, so "m" after "h" means minutes
  size_t pos = 0;
  while (pos < pattern.size()) {
    const char c = pattern[pos];
    if (c == '"' || c == '\'') {
      size_t close = pattern.find(c, pos + 1);
      if (close == std::string_view::npos) close = pattern.size();
      out += pattern.substr(pos + 1, close - pos - 1);
      pos = close + 1;
      continue;
    }
    char token = Upper(c);
    if (token < 'A' || token > 'Z') {
      out += c == '/' ? locale.date_separator : c == ':' ? locale.time_separator : c;
      ++pos;
      continue;
    }
    if (token == 'M' && last_letter == 'H') token = 'N';
    last_letter = token;
    const size_t run = RunLength(pattern, pos);
    switch (token) {
      case 'Y':
        if (run <= 2) {
          AppendNumber(out, year % 100, 2);
        } else {
          AppendNumber(out, year, 4);
        }
        pos += run;
        break;
      case 'M':
      case 'D':
      case 'N':
      case 'S': {
        const size_t count = run < 2 ? 1 : 2;
        const int number = token == 'M'   ? value.month()
                           : token == 'D' ? value.day_of_month()
                           : token == 'N' ? value.minute()
                                          : value.second();
        AppendNumber(out, number, static_cast<int>(count));
        pos += count;
        break;
      }
      case 'H': {
        const size_t count = run < 2 ? 1 : 2;
        int hour = value.hour();
        if (UsesTwelveHourClock(pattern, pos + count)) {
          if (hour == 0) {
            hour = 12;
          } else if (hour > 12) {
            hour -= 12;
          }
        }
        AppendNumber(out, hour, static_cast<int>(count));
        pos += count;
        break;
      }
      case 'Z':
        AppendNumber(out, value.millisecond(), run <= 2 ? 1 : 3);
        pos += run;
        break;
      case 'A':
        if (StartsWithNoCase(pattern, pos, "am/pm")) {
          // Written in the pattern's own case, as "am/pm" or "AM/PM".
          out += pattern.substr(pos + (value.hour() >= 12 ? 3 : 0), 2);
          pos += 5;
        } else if (StartsWithNoCase(pattern, pos, "ampm")) {
          out += value.hour() >= 12 ? "PM" : "AM";
          pos += 4;
        } else {
          out += c;
          ++pos;
        }
        break;
      default:
        out += c;
        ++pos;
        break;
    }
  }
  return out;
}

std::string FormatMmDdYy(DateTime value) {
  return FormatDateTime("mm-dd-yy", value);
}

std::string FormatShortDate(DateTime value, const LocaleFormats& locale) {
  return FormatDateTime(locale.short_date, value, locale);
}

std::string FormatLongTime(DateTime value, const LocaleFormats& locale) {
  return FormatDateTime(locale.long_time, value, locale);
}

std::optional<DateTime> ParseShortDate(std::string_view text, const LocaleFormats& locale) {
  // The field order is the order of the first d, m and y of the pattern.
  std::string order;
  for (char c : locale.short_date) {
    char u = Upper(c);
    if ((u == 'D' || u == 'M' || u == 'Y') && order.find(u) == std::string::npos) order += u;
  }
  if (order.size() != 3) return std::nullopt;

  int fields[3];
  size_t digits[3];
  size_t pos = 0;
  SkipBlanks(text, pos);
  for (int i = 0; i < 3; ++i) {
    if (i > 0) {
      if (pos >= text.size() || text[pos] != locale.date_separator) return std::nullopt;
      ++pos;
    }
    size_t start = pos;
    if (!ReadNumber(text, pos, 4, fields[i])) return std::nullopt;
    digits[i] = pos - start;
  }
  SkipBlanks(text, pos);
  if (pos != text.size()) return std::nullopt;

  int year = 0, month = 0, day = 0;
  for (int i = 0; i < 3; ++i) {
    if (order[i] == 'Y') {
      year = fields[i];
      if (digits[i] <= 2) year += year < 50 ? 2000 : 1900;
    } else if (order[i] == 'M') {
      month = fields[i];
    } else {
      day = fields[i];
    }
  }
  return DateTime::FromCivil(year, month, day);
}

std::optional<DateTime> ParseLongTime(std::string_view text) {
  int hour = 0, minute = 0, second = 0;
  size_t pos = 0;
  SkipBlanks(text, pos);
  if (!ReadNumber(text, pos, 2, hour)) return std::nullopt;
  if (pos >= text.size() || text[pos] != ':') return std::nullopt;
  ++pos;
  if (!ReadNumber(text, pos, 2, minute)) return std::nullopt;
  if (pos < text.size() && text[pos] == ':') {
    ++pos;
    if (!ReadNumber(text, pos, 2, second)) return std::nullopt;
  }
  SkipBlanks(text, pos);
  const bool am = StartsWithNoCase(text, pos, "AM");
  const bool pm = StartsWithNoCase(text, pos, "PM");
  if (am || pm) {
    if (hour < 1 || hour > 12) return std::nullopt;
    hour = hour % 12 + (pm ? 12 : 0);
    pos += 2;
    SkipBlanks(text, pos);
  }
  if (pos != text.size()) return std::nullopt;
  std::optional<DateTime> time = DateTime::FromCivil(1899, 12, 30, hour, minute, second);
  if (!time) return std::nullopt;
  return time->TimeOnly();
}

}  // namespace portavel
