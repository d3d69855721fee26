// The charges of an account that a repeated payment must not repeat: an
// approved charge, or one without a definite answer, of the same amount a
// short while ago (a double click, a form sent again after Back).
#pragma once

#include <cstdint>
#include <optional>

#include "money/money.h"

namespace portavel {

class Platform;
class Store;

struct RecentCharge {
  int32_t cc_trans_key = 0;
  bool approved = false;  // otherwise: no definite answer
};

// The latest such charge of `account_key` for `amount` within
// `window_seconds` before now, from the card log; nullopt when there is
// none or the window is 0. Declined charges never count.
std::optional<RecentCharge> FindRecentCharge(Store& store, Platform& platform, int32_t account_key,
                                             Money amount, int window_seconds);

}  // namespace portavel
