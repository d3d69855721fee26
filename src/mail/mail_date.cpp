#include "mail/mail_date.h"

#include <time.h>

#include <cstdio>
#include <cstdlib>

namespace portavel {

int LocalUtcOffsetMinutes(DateTime local) {
  tm fields{};
  fields.tm_year = local.year() - 1900;
  fields.tm_mon = local.month() - 1;
  fields.tm_mday = local.day_of_month();
  fields.tm_hour = local.hour();
  fields.tm_min = local.minute();
  fields.tm_sec = local.second();
  fields.tm_isdst = -1;
  tm as_utc = fields;
  tzset();
  time_t instant = mktime(&fields);
  if (instant == static_cast<time_t>(-1)) return 0;
  // The same wall-clock reading taken as UTC, less the instant it is here.
  time_t wall_clock = timegm(&as_utc);
  return static_cast<int>((wall_clock - instant) / 60);
}

std::string FormatMailDate(DateTime local, int utc_offset_minutes) {
  static constexpr const char* kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
  static constexpr const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                            "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  int offset = std::abs(utc_offset_minutes);
  char text[40];
  std::snprintf(text, sizeof text, "%s, %d %s %04d %02d:%02d:%02d %c%02d%02d",
                kDays[local.DayOfWeek() - 1], local.day_of_month(), kMonths[local.month() - 1],
                local.year(), local.hour(), local.minute(), local.second(),
                utc_offset_minutes < 0 ? '-' : '+', offset / 60, offset % 60);
  return text;
}

}  // namespace portavel
