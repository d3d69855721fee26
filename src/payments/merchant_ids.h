// The merchant ids that choose a card gateway: 0 to 2 the form-post
// gateway's three endpoints, 3 JetPay, 4 Authorize.Net; any other id has no
// gateway.
#pragma once

#include <cstdint>

namespace portavel {

inline constexpr int32_t kLastFormPostMerchantId = 2;
inline constexpr int32_t kJetPayMerchantId = 3;
inline constexpr int32_t kAuthorizeNetMerchantId = 4;

}  // namespace portavel
