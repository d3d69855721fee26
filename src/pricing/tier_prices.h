// Dated prices of a price tier (Tierdateprices).
#pragma once

#include <cstdint>

#include "dates/date_time.h"
#include "money/money.h"

namespace portavel {

class Store;

// The tier's price of the latest date on or before `date`; 0 when the
// tier has none.
Money TierDatePrice(Store& store, int32_t tier_key, DateTime date);

}  // namespace portavel
