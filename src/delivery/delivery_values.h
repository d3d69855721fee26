// The values a truck system sends, read as the truck-side endpoints read
// them: decimal integers, decimal amounts with a point, and dates in the
// short date form (month/day/year) with an optional time. A value that
// does not read is a conversion error, which ends the request with the
// error page.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string_view>

#include "dates/date_time.h"
#include "money/money.h"

namespace portavel {

// The error page names it EConvertError.
class ConversionError : public std::invalid_argument {
 public:
  using std::invalid_argument::invalid_argument;
};

// An optional sign and decimal digits, within 32 bits: "'x' is not a valid
// integer value" otherwise.
int32_t ParseIntegerValue(std::string_view text);
// An optional sign, digits and a point ("123.4", "-.5"); decimals after
// the fourth are rounded half away from zero: "'x' is not a valid floating
// point value" otherwise.
Money ParseCurrencyValue(std::string_view text);
// "7/7/2019", "07/07/2019 14:30", "7/7/19 2:30:05 PM", or a time alone
// (a time of day 0): "'x' is not a valid date and time" otherwise.
DateTime ParseDateTimeValue(std::string_view text);

}  // namespace portavel
