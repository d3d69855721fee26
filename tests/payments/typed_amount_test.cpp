#include "payments/typed_amount.h"

#include <gtest/gtest.h>

#include "payments/typed_card_number.h"

namespace portavel {
namespace {

TEST(TypedAmountTest, OnlyWholeCentsAboveTheMinimumAndWithinTheMaximumAreCharged) {
  const Money minimum = Money::FromWhole(5);
  const Money maximum = *Money::Parse("99999.99");
  const struct {
    const char* typed;
    const char* charged;  // nullptr: refused
  } cases[] = {
      {"45.50", "45.5"},
      {" 10 ", "10"},
      {"5.01", "5.01"},
      {"99999.99", "99999.99"},
      {"10.000", "10"},
      {"5.00", nullptr},
      {"5.0001", nullptr},
      {"10.005", nullptr},
      {"100000", nullptr},
      {"999999999999", nullptr},
      {"922337203685477.5807", nullptr},
      {"1,000.00", nullptr},
      {"$10", nullptr},
      {"", nullptr},
      {"-20", nullptr},
      {"abc", nullptr},
  };
  for (const auto& c : cases) {
    std::optional<Money> amount = AcceptedPaymentAmount(c.typed, minimum, maximum);
    if (c.charged) {
      ASSERT_TRUE(amount.has_value()) << c.typed;
      EXPECT_EQ(amount->ToString(), c.charged) << c.typed;
    } else {
      EXPECT_FALSE(amount.has_value()) << c.typed << " gave " << amount->ToString();
    }
  }
}

TEST(TypedCardNumberTest, BlanksAndDashesBetweenGroupsAreDropped) {
  EXPECT_EQ(TypedCardNumber("4111 1111 1111 1111"), "4111111111111111");
  EXPECT_EQ(TypedCardNumber(" 4111-1111-1111-1111 "), "4111111111111111");
  EXPECT_EQ(TypedCardNumber("4111x1111"), "4111x1111") << "the gateway judges the rest";
}

}  // namespace
}  // namespace portavel
