#include "pricing/tax_line_amounts.h"

#include <gtest/gtest.h>

#include <initializer_list>

#include "pricing/price_arithmetic.h"
#include "pricing/pricing_fixture.h"
#include "pricing/tax_table.h"

namespace portavel {
namespace {

using testing::Amount;
using testing::Day;

TEST(TaxLineAmountsTest, EachKindOfBaseGivesItsAmountAndUnitPrice) {
  const struct {
    TaxBase kind;
    const char* base;
    const char* rate;
    const char* total;
    const char* price;
  } cases[] = {
      // 123.4 gallons at 1.5%: 1.851 rounds to 1.85; the unit price is the rate per gallon.
      {TaxBase::kQuantity, "123.4", "1.5", "1.85", "0.015"},
      {TaxBase::kAmount, "100", "8", "8", "0.08"},
      // The third decimal 5 rounds away from zero, both ways.
      {TaxBase::kAmount, "1", "12.5", "0.13", "0.125"},
      {TaxBase::kAmount, "-1", "12.5", "-0.13", "0.125"},
      // Cost: the unit price is base times rate, not a percentage.
      {TaxBase::kCost, "25", "4", "1", "100"},
      // A fee: the rate is an amount per line.
      {TaxBase::kCount, "3", "2.5", "7.5", "7.5"},
      {TaxBase::kTaxOnTax, "8.5", "10", "0.85", "0.85"},
      // A unit price at a tie rounds to even; the amount rounds away from zero.
      {TaxBase::kQuantity, "10", "1.235", "0.12", "0.0124"},
      {TaxBase::kQuantity, "10", "1.225", "0.12", "0.0122"},
      {TaxBase::kTaxOnTax, "0.05", "12.5", "0.01", "0.0062"},
      // The amount is rounded after each factor: 0.9999 * 0.5 = 0.49995
      // is 0.5 at four places, so 0.005 rounds to a cent; the exact
      // 0.0049995 would not.
      {TaxBase::kAmount, "0.9999", "0.5", "0.01", "0.005"},
  };
  for (const auto& c : cases) {
    const TaxLineAmounts amounts = TaxLineAmountsFor(c.kind, Amount(c.base), Amount(c.rate));
    EXPECT_EQ(amounts.trans_total, Amount(c.total))
        << static_cast<int>(c.kind) << " " << c.base << " " << c.rate;
    EXPECT_EQ(amounts.tran_price, Amount(c.price))
        << static_cast<int>(c.kind) << " " << c.base << " " << c.rate;
  }
}

Money Product(std::initializer_list<Money> factors) {
  return ExactProductRoundHalfEven(factors);
}

TEST(TaxLineAmountsTest, ExactRoundingsRoundOnceToEven) {
  // 1.00005 would be 1.0001 rounded half away from zero; ties go to even.
  EXPECT_EQ(Product({Amount("100.005"), Amount("0.01")}), Amount("1"));
  EXPECT_EQ(Product({Amount("100.015"), Amount("0.01")}), Amount("1.0002"));
  EXPECT_EQ(Product({Amount("-100.015"), Amount("0.01")}), Amount("-1.0002"));
  // Once, at the end: 0.0003 * 0.5 rounded in between would give 0.0006.
  EXPECT_EQ(Product({Amount("0.0003"), Amount("0.5"), Amount("3")}), Amount("0.0004"));
  EXPECT_EQ(Product({}), Amount("1"));
  // A share: 20 of 60 gallons of a 50.00 deposit.
  EXPECT_EQ(ScaleRoundHalfEven(Amount("20"), Amount("50"), Amount("60")), Amount("16.6667"));
  EXPECT_EQ(ScaleRoundHalfEven(Amount("1"), Amount("0.0001"), Amount("2")), Amount("0"));
  EXPECT_EQ(ScaleRoundHalfEven(Amount("3"), Amount("0.0001"), Amount("2")), Amount("0.0002"));
  EXPECT_EQ(ScaleRoundHalfEven(Amount("1"), Amount("1"), Amount("0")), Amount("0"));
}

TEST(TaxLineAmountsTest, AnInvoiceBeforeTheEffectiveDateHasTheOldRate) {
  TaxRow tax;
  tax.rate = Amount("7");
  tax.old_rate = Amount("6");
  EXPECT_EQ(tax.RateOn(Day(2024, 3, 15)), Amount("7"));  // no effective date
  tax.effective_date = Day(2024, 3, 15);
  EXPECT_EQ(tax.RateOn(Day(2024, 3, 14)), Amount("6"));
  EXPECT_EQ(tax.RateOn(Day(2024, 3, 15)), Amount("7"));
  EXPECT_EQ(tax.RateOn(Day(2024, 3, 16)), Amount("7"));
}

TEST(TaxLineAmountsTest, OnlyTheFiveKindsOfBaseCount) {
  TaxRow tax;
  for (int64_t calc_on : {-1, 5, 99}) {
    tax.calc_on = calc_on;
    EXPECT_FALSE(tax.base().has_value()) << calc_on;
  }
  tax.calc_on = 3;
  EXPECT_EQ(tax.base(), TaxBase::kCount);
}

}  // namespace
}  // namespace portavel
