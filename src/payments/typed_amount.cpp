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

std::optional<Money> AcceptedPaymentAmount(std::string_view text, Money minimum, Money maximum) {
  const Money amount = ParseTypedAmount(text);
  // The gateways take cents: a third decimal would be rounded away.
  if (!amount.IsWholeCents()) return std::nullopt;
  if (!(minimum < amount) || maximum < amount) return std::nullopt;
  return amount;
}

}  // namespace portavel
