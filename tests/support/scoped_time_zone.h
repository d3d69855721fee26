// Runs one test in a given time zone (a POSIX TZ value such as "UTC0" or
// "EST5EDT,M3.2.0,M11.1.0") and puts the process's zone back afterwards.
#pragma once

#include <time.h>

#include <optional>
#include <utility>

#include "support/scoped_env.h"

namespace portavel {

class ScopedTimeZone {
 public:
  explicit ScopedTimeZone(const char* zone) : env_(std::in_place, "TZ", zone) { tzset(); }
  // The C library keeps the zone it read; tzset makes it read TZ again.
  ~ScopedTimeZone() {
    env_.reset();
    tzset();
  }
  ScopedTimeZone(const ScopedTimeZone&) = delete;
  ScopedTimeZone& operator=(const ScopedTimeZone&) = delete;

 private:
  std::optional<ScopedEnv> env_;
};

}  // namespace portavel
