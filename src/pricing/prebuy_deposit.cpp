#include "pricing/prebuy_deposit.h"

#include <string>

#include "data/data_set.h"
#include "data/data_set_closer.h"
#include "data/query_helpers.h"
#include "posting/posting_tables.h"
#include "pricing/line_codes.h"
#include "pricing/price_arithmetic.h"
#include "pricing/pricing_context.h"

namespace portavel {
namespace {

Money DepositAmount(const DepositShare& share) {
  if (share.gallons_left > share.delivered) {
    return -RoundToDecimals(
        2, ScaleRoundHalfEven(share.delivered, share.deposit_left, share.gallons_left));
  }
  return -share.deposit_left;
}

}  // namespace

Money ApplyPrebuyDeposit(PricingContext& context, const DepositShare& share) {
  if (share.contract_gallons <= Money() || share.contract_deposit <= Money()) return Money();
  const Money amount = DepositAmount(share);
  const std::string gl_sales =
      AcctCodeOf(context.store,
                 static_cast<int32_t>(context.remote_prefs.FieldByName("DefGLacct").AsInteger()));

  DataSet& line = context.tables.tblAltTransactions;
  OpenForScope open(line);
  line.Insert();  // the defaults of a new line: key, invoice, batch
  auto field = [&line](const char* name) -> Field& { return line.FieldByName(name); };
  field("GLType").SetInteger(1);
  field("Pkgs").SetMoney(Money::FromWhole(1));
  field("Quantity").SetMoney(Money());
  field("ParentChild").SetInteger(share.fuel_trans_key);
  field("TranPrice").SetMoney(amount);
  field("TransTotal").SetMoney(amount);
  field("ProductName").SetString("Deposit Applied");
  field("ProductID").SetString(kDepositProductId);
  field("ProductGroupID").SetInteger(kDepositProductGroup);
  field("ProductKey").SetInteger(1);
  field("ProductTypeKey").SetInteger(1);
  field("TransactionKey").SetInteger(share.contract_key);
  field("TransType").SetInteger(kDepositLineType);
  field("GLInventory").SetString("");
  field("GLExpense").SetString("");
  field("GLCOGS").SetString("");
  field("GLSales").SetString(gl_sales);
  line.Post();
  return amount;
}

}  // namespace portavel
