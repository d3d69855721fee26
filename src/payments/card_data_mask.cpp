#include "payments/card_data_mask.h"

#include "payments/card_transaction_log.h"

namespace portavel {
namespace {

constexpr size_t kShortestCardNumber = 13;
constexpr size_t kLongestCardNumber = 19;

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

bool IsLetterOrDigit(char c) {
  return IsDigit(c) || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
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
  return Masked(text, true);
}

std::string CardDataMask::MaskCardNumbers(std::string_view text) const {
  return Masked(text, false);
}

std::string CardDataMask::Masked(std::string_view text, bool with_cvn) const {
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
    } else if (with_cvn && !cvn.empty() && run == cvn &&
               (i == 0 || !IsLetterOrDigit(text[i - 1])) &&
               (end == text.size() || !IsLetterOrDigit(text[end]))) {
      out += "***";
    } else {
      out += run;
    }
    i = end;
  }
  return out;
}

}  // namespace portavel
