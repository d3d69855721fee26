// Local date-times as a day count (1899-12-30 is day 0) and the time of
// day in milliseconds. Day 0 with no time is "no date".
#pragma once

#include <compare>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace portavel {

class DateTime {
 public:
  static constexpr int32_t kMsPerDay = 86'400'000;

  constexpr DateTime() = default;
  constexpr DateTime(int32_t day, int32_t ms_of_day) : day_(day), ms_(ms_of_day) {}

  // Calendar conversion (proleptic Gregorian). Invalid fields give nullopt.
  static std::optional<DateTime> FromCivil(int year, int month, int day, int hour = 0,
                                           int minute = 0, int second = 0, int ms = 0);
  static constexpr DateTime FromDays(int32_t day) { return DateTime(day, 0); }
  // 9999-12-31 at the end of its day.
  static DateTime Max();

  constexpr int32_t day() const { return day_; }
  constexpr int32_t ms_of_day() const { return ms_; }
  constexpr bool IsNoDate() const { return day_ == 0 && ms_ == 0; }
  constexpr DateTime DateOnly() const { return DateTime(day_, 0); }
  constexpr DateTime TimeOnly() const { return DateTime(0, ms_); }
  constexpr DateTime AddDays(int32_t n) const { return DateTime(day_ + n, ms_); }

  int year() const;
  int month() const;
  int day_of_month() const;
  int hour() const { return ms_ / 3'600'000; }
  int minute() const { return ms_ / 60'000 % 60; }
  int second() const { return ms_ / 1000 % 60; }
  int millisecond() const { return ms_ % 1000; }
  // 1 = Sunday ... 7 = Saturday.
  int DayOfWeek() const;

  // The store's text forms: "YYYY-MM-DD", "HH:MM:SS" and
  // "YYYY-MM-DD HH:MM:SS" (".mmm" appended when there are milliseconds).
  std::string ToIsoDate() const;
  std::string ToIsoTime() const;
  std::string ToIsoDateTime() const;
  static std::optional<DateTime> ParseIsoDate(std::string_view text);
  static std::optional<DateTime> ParseIsoTime(std::string_view text);
  static std::optional<DateTime> ParseIsoDateTime(std::string_view text);

  constexpr auto operator<=>(const DateTime&) const = default;

 private:
  int32_t day_ = 0;
  int32_t ms_ = 0;
};

}  // namespace portavel
