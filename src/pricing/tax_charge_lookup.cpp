#include "pricing/tax_charge_lookup.h"

#include <optional>
#include <string>

#include "data/query.h"

namespace portavel {
namespace {

// The ChargeTax of the first row of a list naming the tax (null reads as
// 0); nullopt when no row names it.
std::optional<int64_t> ListedChargeTax(Store& store, const char* sql, int32_t owner_key,
                                       int32_t tax_key) {
  Query query(store, "UserData", sql);
  query.SetParam("OwnerKey", Value::Integer(owner_key));
  query.SetParam("TaxKey", Value::Integer(tax_key));
  query.Open();
  if (query.Eof()) return std::nullopt;
  return query.FieldByName("ChargeTax").AsInteger();
}

int ChargeAnswer(std::optional<int64_t> listed, int64_t wanted_charge) {
  if (!listed) return kTaxNotListed;
  if (wanted_charge != 1) return kTaxListedUncharged;
  if (*listed == 1) return kTaxCharged;
  if (*listed == 0) return kTaxNotCharged;
  return kTaxListedUncharged;
}

}  // namespace

int LookupTankChargeTax(Store& store, int32_t tank_key, int32_t tax_key, int64_t wanted_charge) {
  return ChargeAnswer(ListedChargeTax(store,
                                      R"(select "ChargeTax" from "TankTaxLkUp" )"
                                      R"(where "TankKey" = :OwnerKey and "TaxKey" = :TaxKey )"
                                      "order by rowid limit 1",
                                      tank_key, tax_key),
                      wanted_charge);
}

int LookupAccountChargeTax(Store& store, int32_t account_key, int32_t tax_key,
                           int64_t wanted_charge) {
  return ChargeAnswer(ListedChargeTax(store,
                                      R"(select "ChargeTax" from "TaxLkUp" )"
                                      R"(where "AccountKey" = :OwnerKey and "TaxKey" = :TaxKey )"
                                      "order by rowid limit 1",
                                      account_key, tax_key),
                      wanted_charge);
}

}  // namespace portavel
