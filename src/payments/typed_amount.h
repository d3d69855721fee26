// The amount a customer types into the Payment field.
#pragma once

#include <optional>
#include <string_view>

#include "money/money.h"

namespace portavel {

// Digits with an optional sign and point; anything else (empty, letters,
// a thousands separator, a currency sign) counts as 0, which no minimum
// charge lets through.
Money ParseTypedAmount(std::string_view text);

// The amount to charge for what the customer typed: above `minimum`, at
// most `maximum`, and with no more than two decimals, so that what is
// charged is exactly what was typed. nullopt when it may not be charged.
std::optional<Money> AcceptedPaymentAmount(std::string_view text, Money minimum, Money maximum);

}  // namespace portavel
