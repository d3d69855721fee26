#include "payments/card_data_mask.h"

#include <gtest/gtest.h>

namespace portavel {
namespace {

TEST(CardDataMaskTest, CardNumbersAndTheCvnEchoedInAnAnswerAreMasked) {
  const CardDataMask mask{"4000123412341234", "123"};
  const struct {
    const char* text;
    const char* masked;
  } cases[] = {
      {"Card 4111111111111111 declined", "Card ************1111 declined"},
      {"Amex 371449635398431.", "Amex ***********8431."},
      // The card sent is masked even where its check digit is wrong.
      {"<CardNum>4000123412341234</CardNum>", "<CardNum>************1234</CardNum>"},
      {"CVV 123 mismatch", "CVV *** mismatch"},
      {"CVV2=123&", "CVV2=***&"},
      // Numbers that are no card and the CVN's digits inside other codes stay.
      {"Reference 1234567890123 ok", "Reference 1234567890123 ok"},
      {"Auth ABC123, amount 1234.56, ref 91230", "Auth ABC123, amount 1234.56, ref 91230"},
      {"12345678901234567890123", "12345678901234567890123"},
  };
  for (const auto& c : cases) EXPECT_EQ(mask.Apply(c.text), c.masked) << c.text;
  EXPECT_EQ(mask.MaskCardNumbers("123 4111111111111111"), "123 ************1111");
  EXPECT_EQ(CardDataMask{}.Apply("CVV 123"), "CVV 123") << "no CVN sent, nothing to hide";
}

}  // namespace
}  // namespace portavel
