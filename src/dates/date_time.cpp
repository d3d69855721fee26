#include "dates/date_time.h"

#include <cstdio>

namespace portavel {
namespace {

// Days from 1970-01-01 to 1899-12-30, the day-count origin.
constexpr int32_t kEpochOffset = 25569;

bool IsLeapYear(int year) {
  return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int DaysInMonth(int year, int month) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

// Days since 1970-01-01 of a proleptic Gregorian date (H. Hinnant's
// algorithm: years counted from March so the leap day comes last).
int32_t DaysFromCivil(int year, int month, int day) {
  year -= month <= 2;
  const int era = (year >= 0 ? year : year - 399) / 400;
  const int year_of_era = year - era * 400;
  const int day_of_year = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  const int day_of_era = year_of_era * 365 + year_of_era / 4 - year_of_era / 100 + day_of_year;
  return era * 146097 + day_of_era - 719468;
}

struct CivilDate {
  int year;
  int month;
  int day;
};

CivilDate CivilFromDays(int32_t days) {
  days += 719468;
  const int era = (days >= 0 ? days : days - 146096) / 146097;
  const int day_of_era = days - era * 146097;
  const int year_of_era =
      (day_of_era - day_of_era / 1460 + day_of_era / 36524 - day_of_era / 146096) / 365;
  const int day_of_year = day_of_era - (365 * year_of_era + year_of_era / 4 - year_of_era / 100);
  const int mp = (5 * day_of_year + 2) / 153;
  const int day = day_of_year - (153 * mp + 2) / 5 + 1;
  const int month = mp < 10 ? mp + 3 : mp - 9;
  return {year_of_era + era * 400 + (month <= 2), month, day};
}

// Reads exactly `width` decimal digits at `pos`.
bool ReadDigits(std::string_view text, size_t pos, size_t width, int& value) {
  if (pos + width > text.size()) return false;
  value = 0;
  for (size_t i = pos; i < pos + width; ++i) {
    if (text[i] < '0' || text[i] > '9') return false;
    value = value * 10 + (text[i] - '0');
  }
  return true;
}

}  // namespace

std::optional<DateTime> DateTime::FromCivil(int year, int month, int day, int hour, int minute,
                                            int second, int ms) {
  if (year < 1 || year > 9999 || month < 1 || month > 12) return std::nullopt;
  if (day < 1 || day > DaysInMonth(year, month)) return std::nullopt;
  if (hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59 || ms < 0 ||
      ms > 999) {
    return std::nullopt;
  }
  return DateTime(DaysFromCivil(year, month, day) + kEpochOffset,
                  ((hour * 60 + minute) * 60 + second) * 1000 + ms);
}

DateTime DateTime::Max() {
  return *FromCivil(9999, 12, 31, 23, 59, 59, 999);
}

int DateTime::year() const {
  return CivilFromDays(day_ - kEpochOffset).year;
}
int DateTime::month() const {
  return CivilFromDays(day_ - kEpochOffset).month;
}
int DateTime::day_of_month() const {
  return CivilFromDays(day_ - kEpochOffset).day;
}

int DateTime::DayOfWeek() const {
  // Day 0 was a Saturday.
  return ((day_ % 7 + 7) % 7 + 6) % 7 + 1;
}

std::string DateTime::ToIsoDate() const {
  CivilDate date = CivilFromDays(day_ - kEpochOffset);
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d", date.year, date.month, date.day);
  return buffer;
}

std::string DateTime::ToIsoTime() const {
  char buffer[32];
  if (millisecond() != 0) {
    std::snprintf(buffer, sizeof buffer, "%02d:%02d:%02d.%03d", hour(), minute(), second(),
                  millisecond());
  } else {
    std::snprintf(buffer, sizeof buffer, "%02d:%02d:%02d", hour(), minute(), second());
  }
  return buffer;
}

std::string DateTime::ToIsoDateTime() const {
  return ToIsoDate() + " " + ToIsoTime();
}

std::optional<DateTime> DateTime::ParseIsoDate(std::string_view text) {
  int year, month, day;
  if (text.size() != 10 || text[4] != '-' || text[7] != '-' || !ReadDigits(text, 0, 4, year) ||
      !ReadDigits(text, 5, 2, month) || !ReadDigits(text, 8, 2, day)) {
    return std::nullopt;
  }
  return FromCivil(year, month, day);
}

std::optional<DateTime> DateTime::ParseIsoTime(std::string_view text) {
  int hour, minute, second, ms = 0;
  if ((text.size() != 8 && text.size() != 12) || text[2] != ':' || text[5] != ':' ||
      !ReadDigits(text, 0, 2, hour) || !ReadDigits(text, 3, 2, minute) ||
      !ReadDigits(text, 6, 2, second)) {
    return std::nullopt;
  }
  if (text.size() == 12 && (text[8] != '.' || !ReadDigits(text, 9, 3, ms))) return std::nullopt;
  std::optional<DateTime> time = FromCivil(1899, 12, 30, hour, minute, second, ms);
  if (!time) return std::nullopt;
  return time->TimeOnly();
}

std::optional<DateTime> DateTime::ParseIsoDateTime(std::string_view text) {
  if (text.size() < 11 || text[10] != ' ') return std::nullopt;
  std::optional<DateTime> date = ParseIsoDate(text.substr(0, 10));
  std::optional<DateTime> time = ParseIsoTime(text.substr(11));
  if (!date || !time) return std::nullopt;
  return DateTime(date->day(), time->ms_of_day());
}

}  // namespace portavel
