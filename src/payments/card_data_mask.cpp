#include "payments/card_data_mask.h"

#include "payments/card_transaction_log.h"

namespace portavel {
namespace {

constexpr size_t kShortestCardNumber = 13;
constexpr size_t kLongestCardNumber = 19;

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

bool PassesLuhnCheck(std::string_view digits) {
  int sum = 0;
  bool doubled = false;
  for (auto it = digits.rbegin(); it != digits.rend(); ++it) {
    int digit = *it - '0';
    if (doubled) digit = digit * 2 > 9 ? digit * 2 - 9 : digit * 2;
    sum += digit;
    doubled = !doubled;
  }
  return sum % 10 == 0;
}

}  // namespace

std::string CardDataMask::Apply(std::string_view text) const {
  std::string out;
  out.reserve(text.size());
  size_t i = 0;
  while (i < text.size()) {
    if (!IsDigit(text[i])) {
      out += text[i++];
      continue;
    }
    size_t end = i;
    while (end < text.size() && IsDigit(text[end])) ++end;
    const std::string_view run = text.substr(i, end - i);
    const bool card_like = run.size() >= kShortestCardNumber && run.size() <= kLongestCardNumber &&
                           (run == card_number || PassesLuhnCheck(run));
    if (card_like) {
      out += MaskCardNumber(run);
    } else if (!cvn.empty() && run == cvn) {
      out += "***";
    } else {
      out += run;
    }
    i = end;
  }
  return out;
}

}  // namespace portavel
