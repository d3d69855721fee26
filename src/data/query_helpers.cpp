#include "data/query_helpers.h"

#include "data/query.h"
#include "data/value.h"

namespace portavel {

std::string AcctCodeOf(Store& store, int32_t acct_key) {
  Query query(store, "UserData", "select \"acct\" from \"acct\" where \"acctkey\" = :AcctKey");
  query.SetParam("AcctKey", Value::Integer(acct_key));
  query.Open();
  if (query.Eof() || query.FieldByName("acct").IsNull()) return "No account found";
  return query.FieldByName("acct").AsString();
}

int32_t AccountIndexOf(Store& store, std::string_view account_id) {
  Query query(store, "UserData",
              "select \"AccountIndex\" from \"Accounts\" where \"AccountID\" = :AccountID");
  query.SetParam("AccountID", Value::Text(std::string(account_id)));
  query.Open();
  if (query.Eof() || query.FieldByName("accountindex").IsNull()) return -1;
  return static_cast<int32_t>(query.FieldByName("accountindex").AsInteger());
}

Money AccountBalance(Store& store, int32_t account_key) {
  // Sums of the integer ten-thousandths the currency columns hold: exact.
  // An empty batch type reads as 0, as it does everywhere else.
  Query query(store, "UserData",
              "select sum(\"InvTotal\") as SIT, sum(\"DiscountAmount\") as SDA, "
              "sum(\"PaymentTotal\") as SPT from \"Invoices\" "
              "where coalesce(\"BatchType\", 0) < 9 and \"Accountkey\" = :AccountKey");
  query.SetParam("AccountKey", Value::Integer(account_key));
  query.Open();
  if (query.Eof()) return Money();
  return query.FieldByName("SIT").AsMoney() - query.FieldByName("SDA").AsMoney() -
         query.FieldByName("SPT").AsMoney();
}

}  // namespace portavel
