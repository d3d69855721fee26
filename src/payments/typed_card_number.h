// The card number a customer types into the card form.
#pragma once

#include <string>
#include <string_view>

namespace portavel {

// The number without the blanks and dashes customers type between its
// groups ("4111 1111-1111 1111" gives "4111111111111111"); anything else
// is kept for the gateway to judge.
std::string TypedCardNumber(std::string_view typed);

}  // namespace portavel
