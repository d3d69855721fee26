#include "payments/typed_amount.h"

#include "text/cp1252.h"

namespace portavel {

Money ParseTypedAmount(std::string_view text) {
  std::string_view trimmed = Trim(text);
  // The general money reader accepts thousands commas; a customer's
  // "1,000.00" is refused instead of being read as a thousand.
  if (trimmed.find(',') != std::string_view::npos) return Money();
  return Money::Parse(trimmed).value_or(Money());
}

}  // namespace portavel
