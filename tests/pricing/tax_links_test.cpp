#include "pricing/tax_links.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

#include "pricing/pricing_fixture.h"
#include "support/posting_keys.h"

namespace portavel {
namespace {

using testing::kFirstTaxLinkKey;
using testing::kTankKey;
using testing::Links;
using testing::NextKeyOf;

class TaxLinksTest : public testing::PricingTest {
 protected:
  void SetUp() override { AddInvoice(4); }
};

TEST_F(TaxLinksTest, TheAccountsListDecidesWhetherALinkStaysAndIsCharged) {
  const struct {
    int32_t tax;
    std::optional<int64_t> account_charge;  // nullopt: the account's list does not name it
    int64_t link_charge;
    std::optional<std::pair<int64_t, int64_t>> kept;  // ChargeTax, Taxable
  } cases[] = {
      {1, std::nullopt, 1, std::nullopt},
      {2, 1, 1, {{1, 1}}},
      {3, 0, 1, {{0, 0}}},
      {4, 5, 1, {{0, 1}}},
      {5, 1, 0, {{0, 1}}},
      {6, 0, 0, {{0, 1}}},
      {7, std::nullopt, 0, std::nullopt},
  };
  const int32_t line = AddLine({});
  Links expected;
  for (const auto& c : cases) {
    Link(line, c.tax, c.link_charge);
    if (c.account_charge) ListTaxForAccount(c.tax, *c.account_charge);
    if (c.kept) expected.push_back({c.tax, c.kept->first, c.kept->second});
  }
  ResolveTaxCharging(context, line, 0);
  EXPECT_EQ(LinksOf(line), expected);
}

TEST_F(TaxLinksTest, ALineSoldAtTheTankFollowsTheTanksListWhenThePreferencesSaySo) {
  // The account charges tax 1; the tank names it as not charged.
  ListTaxForAccount(1, 1);
  temp.Insert("TankTaxLkUp", {{"TankKey", Value::Integer(kTankKey)},
                              {"TaxLkUpKey", Value::Integer(31)},
                              {"TaxKey", Value::Integer(1)},
                              {"ChargeTax", Value::Integer(0)}});
  const struct {
    int32_t trans_pos;
    int64_t use_pos;
    Links expected;
  } cases[] = {
      {1, 1, {{1, 0, 0}}},  // the tank's list
      {0, 1, {{1, 1, 1}}},  // not sold at the tank: the account's
      {1, 0, {{1, 1, 1}}},  // tank lists not in use
  };
  for (const auto& c : cases) {
    SetPref("UsePOS", Value::Integer(c.use_pos));
    const int32_t line = AddLine({});
    Link(line, 1, 1);
    ResolveTaxCharging(context, line, c.trans_pos);
    EXPECT_EQ(LinksOf(line), c.expected) << c.trans_pos << " " << c.use_pos;
  }
}

TEST_F(TaxLinksTest, ATankWithoutACompleteFirstRowHasNoTaxList) {
  SetPref("UsePOS", Value::Integer(1));
  ListTaxForAccount(1, 1);
  // The first row of the tank lacks its TaxLkUpKey, so the account decides.
  temp.Insert("TankTaxLkUp", {{"TankKey", Value::Integer(kTankKey)},
                              {"TaxKey", Value::Integer(1)},
                              {"ChargeTax", Value::Integer(0)}});
  const int32_t line = AddLine({});
  Link(line, 1, 1);
  ResolveTaxCharging(context, line, 1);
  EXPECT_EQ(LinksOf(line), (Links{{1, 1, 1}}));
}

TEST_F(TaxLinksTest, ALineWithoutLinksFailsWithNoTaxes) {
  const int32_t line = AddLine({});
  try {
    ResolveTaxCharging(context, line, 0);
    FAIL() << "no exception";
  } catch (const NoTaxesError& error) {
    EXPECT_STREQ(error.what(), "no taxes");
  }
}

TEST_F(TaxLinksTest, TheLinksComeFromTheProductsOwnListElseFromItsTypesList) {
  constexpr int32_t kOwnListProduct = 71;
  constexpr int32_t kOtherProduct = 72;
  constexpr int32_t kProductType = 5;
  temp.Insert("PCTLkUp", {{"ProductKey", Value::Integer(kOwnListProduct)}});
  ListTaxForProduct(kOwnListProduct, 1, 1);
  ListTaxForProduct(kOwnListProduct, 2, 0);
  ListTaxForProduct(kProductType, 3, 1);
  for (int32_t tax : {1, 2, 3}) ListTaxForAccount(tax, 1);

  const int32_t own = AddLine({});
  BuildTransactionTaxLinks(context, own, 0, kProductType, kOwnListProduct);
  EXPECT_EQ(LinksOf(own), (Links{{1, 1, 1}, {2, 0, 1}}));

  const int32_t typed = AddLine({});
  BuildTransactionTaxLinks(context, typed, 0, kProductType, kOtherProduct);
  EXPECT_EQ(LinksOf(typed), (Links{{3, 1, 1}}));

  // Keys from the key table, one per link made.
  EXPECT_EQ(NextKeyOf(store, "TransTaxLkUp"), kFirstTaxLinkKey + 3);
}

TEST_F(TaxLinksTest, AProductWithoutAnyListGetsNoLinks) {
  const int32_t line = AddLine({});
  BuildTransactionTaxLinks(context, line, 0, 5, 72);  // no failure either
  EXPECT_TRUE(LinksOf(line).empty());
}

TEST_F(TaxLinksTest, AProductWhoseOwnListIsEmptyFailsWithNoTaxes) {
  temp.Insert("PCTLkUp", {{"ProductKey", Value::Integer(71)}});
  ListTaxForProduct(5, 3, 1);  // the type's list does not stand in for it
  const int32_t line = AddLine({});
  EXPECT_THROW(BuildTransactionTaxLinks(context, line, 0, 5, 71), NoTaxesError);
}

}  // namespace
}  // namespace portavel
