#include "pricing/prebuy_balances.h"

#include "data/query.h"
#include "pricing/line_codes.h"

namespace portavel {
namespace {

// The sum of one currency column over a contract's lines of one product
// group. Currency columns hold ten-thousandths as integers, so the sum is
// exact.
Money SumOfContractLines(Store& store, const char* sql, int32_t contract_key, DateTime as_of,
                         int64_t product_group) {
  Query query(store, "UserData", sql);
  query.SetParam("ContractKey", Value::Integer(contract_key));
  query.SetParam("AsOf", Value::Date(as_of));
  query.SetParam("ProductGroup", Value::Integer(product_group));
  query.Open();
  return query.Eof() ? Money() : query.Column(0).AsMoney();
}

}  // namespace

Money GallonsLeft(Store& store, int32_t contract_key, DateTime as_of, Money contract_gallons) {
  return contract_gallons - SumOfContractLines(store,
                                               R"(select sum("Quantity") from "Transactions" )"
                                               R"(where "TransactionKey" = :ContractKey )"
                                               R"(and "InvDate" <= :AsOf )"
                                               R"(and "ProductGroupID" = :ProductGroup )"
                                               R"(and "Quantity" <> 0)",
                                               contract_key, as_of, kFuelProductGroup);
}

Money DepositLeft(Store& store, int32_t contract_key, DateTime as_of, Money contract_deposit) {
  return contract_deposit + SumOfContractLines(store,
                                               R"(select sum("TranPrice") from "Transactions" )"
                                               R"(where "TransactionKey" = :ContractKey )"
                                               R"(and "InvDate" <= :AsOf )"
                                               R"(and "ProductGroupID" = :ProductGroup )"
                                               R"(and "TranPrice" <> 0)",
                                               contract_key, as_of, kDepositProductGroup);
}

bool DepositAlreadyApplied(Store& store, int32_t trans_key) {
  Query query(store, "UserData",
              R"(select "ParentChild" from "Transactions" )"
              R"(where "ProductID" = :DepositProduct and "ParentChild" = :TransKey limit 1)");
  query.SetParam("DepositProduct", Value::Text(kDepositProductId));
  query.SetParam("TransKey", Value::Integer(trans_key));
  query.Open();
  return !query.Eof() && !query.FieldByName("ParentChild").IsNull();
}

}  // namespace portavel
