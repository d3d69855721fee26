#include "payments/recent_charges.h"

#include "data/query.h"
#include "payments/charge_record.h"
#include "platform/platform.h"

namespace portavel {
namespace {

constexpr int64_t kMsPerSecond = 1000;

int64_t MillisecondsOf(DateTime moment) {
  return static_cast<int64_t>(moment.day()) * DateTime::kMsPerDay + moment.ms_of_day();
}

}  // namespace

std::optional<RecentCharge> FindRecentCharge(Store& store, Platform& platform, int32_t account_key,
                                             Money amount, int window_seconds) {
  if (window_seconds <= 0) return std::nullopt;
  const DateTime now = platform.Now();
  const int64_t window_start = MillisecondsOf(now) - window_seconds * kMsPerSecond;
  // The window may reach back over midnight.
  const DateTime first_day =
      now.DateOnly().AddDays(-(window_seconds / (DateTime::kMsPerDay / kMsPerSecond) + 1));
  // Of two at the same moment the later written counts, on any engine. The
  // rows are ranked here rather than sorted by the statement: a statement
  // sorted by rowid walks the whole log in that order instead of reading
  // the last days' rows through the date index.
  Query query(store, "UserData",
              R"(select "CCTransKey", "Approved", "Response", "TransDate", "TransTime", rowid )"
              R"(from "ccTransactions" where "AccountKey" = :account and "TransAmount" = :amount )"
              R"(and "TransDate" >= :first_day )"
              R"(and ("Approved" = :approved or "Response" = :no_answer))");
  query.SetParam("account", Value::Integer(account_key));
  query.SetParam("amount", Value::Currency(amount));
  query.SetParam("first_day", Value::Date(first_day));
  query.SetParam("approved", Value::Boolean(true));
  query.SetParam("no_answer", Value::Text(kNoDefiniteAnswerResponse));
  query.Open();
  std::optional<RecentCharge> latest;
  int64_t latest_at = 0;
  int64_t latest_row = 0;
  for (; !query.Eof(); query.Next()) {
    const int64_t at =
        MillisecondsOf(query.Column(3).AsDateTime()) + query.Column(4).AsDateTime().ms_of_day();
    const int64_t row = query.Column(5).AsInteger();
    if (at < window_start) continue;
    if (latest && (at < latest_at || (at == latest_at && row < latest_row))) continue;
    latest = RecentCharge{static_cast<int32_t>(query.Column(0).AsInteger()),
                          query.Column(1).AsBoolean()};
    latest_at = at;
    latest_row = row;
  }
  return latest;
}

}  // namespace portavel
