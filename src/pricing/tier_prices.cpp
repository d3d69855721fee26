#include "pricing/tier_prices.h"

#include "data/query.h"

namespace portavel {

Money TierDatePrice(Store& store, int32_t tier_key, DateTime date) {
  Query query(store, "UserData",
              R"(select "Tdpdate", "Price" from "Tierdateprices" where "Tierkey" = :TierKey )"
              R"(and "Tdpdate" <= :Date order by "Tdpdate" desc, rowid desc limit 1)");
  query.SetParam("TierKey", Value::Integer(tier_key));
  query.SetParam("Date", Value::Date(date));
  query.Open();
  return query.Eof() ? Money() : query.FieldByName("Price").AsMoney();
}

}  // namespace portavel
