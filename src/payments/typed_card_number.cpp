#include "payments/typed_card_number.h"

namespace portavel {

std::string TypedCardNumber(std::string_view typed) {
  std::string number;
  number.reserve(typed.size());
  for (char c : typed) {
    if (c != ' ' && c != '-' && c != '\t') number += c;
  }
  return number;
}

}  // namespace portavel
