// The positions of the paying account's fields the gateway clients read
// through TCustomerAccount (its field names' indexes plus one).
#pragma once

namespace portavel {

inline constexpr int kAccountIndexField = 36;
inline constexpr int kCcCustKeyField = 47;
inline constexpr int kCcInfoKeyField = 48;
inline constexpr int kCcLast4Field = 49;

}  // namespace portavel
