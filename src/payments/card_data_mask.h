// Card data that a gateway echoes in its answer, masked before the answer's
// texts are stored or shown anywhere (the card log, the event log, traces,
// the operator log).
#pragma once

#include <string>
#include <string_view>

namespace portavel {

struct CardDataMask {
  std::string card_number;  // as sent; "" for a card on file
  std::string cvn;          // as sent; "" when none

  // `text` with every run of 13 to 19 digits that is the card sent or
  // could be a card number (its Luhn check holds) masked to its last four,
  // and the CVN, where it stands as a word of its own, as "***".
  std::string Apply(std::string_view text) const;
  // Apply without the CVN, for codes and references (an authorization
  // code may end in the same three digits).
  std::string MaskCardNumbers(std::string_view text) const;

 private:
  std::string Masked(std::string_view text, bool with_cvn) const;
};

}  // namespace portavel
