#include "receivables/account_aging.h"

#include <cstdint>
#include <string>

#include "data/data_set.h"
#include "data/query.h"
#include "data/store.h"
#include "data/value.h"
#include "platform/platform.h"
#include "text/cp1252.h"

namespace portavel {
namespace {

enum class AgeBy { kDueDate, kInvoiceDate };

struct AgingLimits {
  int64_t first = 0;
  int64_t second = 0;
  int64_t third = 0;

  bool Usable() const { return first > 0 && first < second && second < third; }
};

AgingLimits ReadLimits(Query& query) {
  query.Open();
  if (query.Eof()) return {};
  return {query.FieldByName("Over1").AsInteger(), query.FieldByName("Over2").AsInteger(),
          query.FieldByName("Over3").AsInteger()};
}

// The account's own limits, else the preferences', else 30, 60, 90.
AgingLimits LimitsFor(Store& store, int32_t account_index) {
  Query account(store, "UserData",
                R"(select "Over1", "Over2", "Over3" from "Accounts" )"
                R"(where "AccountIndex" = :AccountIndex order by rowid limit 1)");
  account.SetParam("AccountIndex", Value::Integer(account_index));
  AgingLimits limits = ReadLimits(account);
  if (limits.Usable()) return limits;
  Query prefs(store, "UserData",
              R"(select "Over1", "Over2", "Over3" from "RemotePrefs" order by rowid limit 1)");
  limits = ReadLimits(prefs);
  if (limits.Usable()) return limits;
  return {30, 60, 90};
}

// The invoices that count. A missing batch type reads as 0 and a missing
// invoice date as "no date", as everywhere else: both count, rather than
// dropping out of the balance because SQL compares null with nothing.
constexpr const char* kCountedInvoices =
    R"(from "Invoices" where coalesce("BatchType", 0) <> 9 and "Accountkey" = :AccountKey )"
    R"(and ("InvDate" is null or "InvDate" <= :AsOf))";

void BindAccountAndDate(Query& query, int32_t account_index, DateTime as_of) {
  query.SetParam("AccountKey", Value::Integer(account_index));
  query.SetParam("AsOf", Value::Date(as_of));
}

Money AgingBalance(Store& store, int32_t account_index, DateTime as_of) {
  Query sums(store, "UserData",
             std::string(R"(select sum("InvTotal") as SIT, sum("DiscountAmount") as SDA, )"
                         R"(sum("PaymentTotal") as SPT )") +
                 kCountedInvoices);
  BindAccountAndDate(sums, account_index, as_of);
  sums.Open();
  if (sums.Eof()) return Money();
  return sums.FieldByName("SIT").AsMoney() - sums.FieldByName("SDA").AsMoney() -
         sums.FieldByName("SPT").AsMoney();
}

Money PositivePart(Money value) {
  return value > Money() ? value : Money();
}

Money& BucketFor(AgingResult& result, int64_t days, const AgingLimits& limits) {
  if (days <= limits.first) return result.Current;
  if (days <= limits.second) return result.OverThirty;
  if (days <= limits.third) return result.OverSixty;
  return result.OverNinety;
}

AgingResult Age(Store& store, AgeBy age_by, int32_t account_index, bool age_batch_type6,
                std::string_view use_budget, DateTime as_of) {
  as_of = as_of.DateOnly();
  AgingResult result;
  const Money balance = AgingBalance(store, account_index, as_of);
  if (balance <= Money()) {
    result.CreditBalance = balance;
    return result;
  }
  if (ToUpper1252(use_budget) == "YES") {
    result.Current = balance;
    return result;
  }
  const AgingLimits limits = LimitsFor(store, account_index);

  const std::string date_field = age_by == AgeBy::kDueDate ? "DueDate" : "InvDate";
  const std::string date_column = QuoteIdentifier(date_field);
  // Rows of the same date come newest key first, so the order is stable.
  // Rows without a date come last, said outright: PostgreSQL would put
  // them first in a descending order.
  Query rows(store, "UserData",
             "select " + date_column +
                 R"(, "InvTotal", "DiscountAmount", "PaymentTotal", "BatchType" )" +
                 kCountedInvoices + " order by " + date_column +
                 R"( desc nulls last, "InvoiceKey" desc nulls last)");
  BindAccountAndDate(rows, account_index, as_of);
  Money remaining = balance;
  for (rows.Open(); !rows.Eof() && remaining > Money(); rows.Next()) {
    // Only what the row charges takes a share: its total, a negative
    // discount, a returned payment. Its credits are in the balance already.
    const Money debit = PositivePart(rows.FieldByName("InvTotal").AsMoney()) +
                        PositivePart(-rows.FieldByName("DiscountAmount").AsMoney()) +
                        PositivePart(-rows.FieldByName("PaymentTotal").AsMoney());
    if (debit > Money()) {
      const Money placed = remaining > debit ? debit : remaining;
      if (!age_batch_type6 && rows.FieldByName("BatchType").AsInteger() == 6) {
        result.Current += placed;
      } else {
        // A missing date reads as day 0 and so ages as very old.
        const int64_t days = int64_t{as_of.day()} - rows.FieldByName(date_field).AsDateTime().day();
        BucketFor(result, days, limits) += placed;
      }
    }
    remaining -= debit;
  }
  return result;
}

// The first preferences row decides; only the one field is read.
bool UseDueDateAging(Store& store) {
  Query prefs(store, "UserData",
              R"(select "UseDueDAge" from "RemotePrefs" order by rowid limit 1)");
  prefs.Open();
  return !prefs.Eof() && prefs.FieldByName("UseDueDAge").AsBoolean();
}

}  // namespace

AgingResult AgeByDueDate(Store& store, int32_t account_index, bool age_batch_type6,
                         std::string_view use_budget, DateTime as_of) {
  return Age(store, AgeBy::kDueDate, account_index, age_batch_type6, use_budget, as_of);
}

AgingResult AgeByInvoiceDate(Store& store, int32_t account_index, bool age_batch_type6,
                             std::string_view use_budget, DateTime as_of) {
  return Age(store, AgeBy::kInvoiceDate, account_index, age_batch_type6, use_budget, as_of);
}

AgingResult ComputeAccountAging(Store& store, Platform& platform, DataSet& account_row) {
  const bool by_due_date = UseDueDateAging(store);
  const DateTime as_of = platform.Now().DateOnly();
  const std::string use_budget = account_row.FieldByName("UseBudget").AsString();
  const auto account_index =
      static_cast<int32_t>(account_row.FieldByName("AccountIndex").AsInteger());
  return by_due_date ? AgeByDueDate(store, account_index, false, use_budget, as_of)
                     : AgeByInvoiceDate(store, account_index, false, use_budget, as_of);
}

void PostAccountAging(DataSet& account_row, const AgingResult& r) {
  account_row.Edit();
  account_row.FieldByName("Current").SetMoney(r.Current);
  account_row.FieldByName("OverThirty").SetMoney(r.OverThirty);
  account_row.FieldByName("OverSixty").SetMoney(r.OverSixty);
  account_row.FieldByName("OverNinety").SetMoney(r.OverNinety);
  account_row.FieldByName("Balance").SetMoney(r.Balance());
  account_row.Post();
}

void AgeAccount(Store& store, Platform& platform, DataSet& account_row) {
  PostAccountAging(account_row, ComputeAccountAging(store, platform, account_row));
}

AccountAgingWrite AgeAccountWithin(Store& store, Platform& platform, DataSet& account_row,
                                   int max_wait_ms) {
  AccountAgingWrite result{ComputeAccountAging(store, platform, account_row), true};
  ShortBusyWait short_wait(store, "UserData", max_wait_ms);
  try {
    PostAccountAging(account_row, result.aging);
  } catch (const StoreBusyError& error) {
    account_row.Cancel();
    result.written = false;
    platform.OperatorMessage("Account " + account_row.FieldByName("AccountID").AsString() +
                             ": the aging write was skipped, the store stayed locked for " +
                             std::to_string(max_wait_ms) + " ms: " + error.what());
  }
  return result;
}

}  // namespace portavel
