// The amount a customer types into the Payment field.
#pragma once

#include <string_view>

#include "money/money.h"

namespace portavel {

// Digits with an optional sign and point; anything else (empty, letters,
// a thousands separator, a currency sign) counts as 0, which no minimum
// charge lets through.
Money ParseTypedAmount(std::string_view text);

}  // namespace portavel
