// The Date header of a message: the local time and its distance from UTC.
#pragma once

#include <string>

#include "dates/date_time.h"

namespace portavel {

// Minutes east of UTC that `local` (a local time of this system's time
// zone, daylight saving included) is; 0 when it cannot be told.
int LocalUtcOffsetMinutes(DateTime local);

// "Fri, 15 Mar 2024 10:00:00 -0400".
std::string FormatMailDate(DateTime local, int utc_offset_minutes);

}  // namespace portavel
