#pragma once

#include <string>

#include "dates/date_time.h"

namespace portavel {

// The accounting period of a date as four characters: the year modulo 100
// (unpadded) followed by the two-digit month, the whole padded with "0"
// on the left (2024-03-15 gives "2403", 2000-11-02 gives "0011").
std::string PeriodOf(DateTime date);

}  // namespace portavel
