// Splits an account's outstanding balance into four buckets by age. The
// balance is placed on the newest charges first, each up to its own
// amount, so payments and credits in effect settle the oldest charges.
#pragma once

#include <cstdint>
#include <string_view>

#include "dates/date_time.h"
#include "money/money.h"

namespace portavel {

class DataSet;
class Platform;
class Store;

struct AgingResult {
  // The balance when it is zero or negative; 0 otherwise.
  Money CreditBalance;
  // The parts of a positive balance, by age against the limits L1 < L2 < L3.
  Money Current;     // not older than L1 days
  Money OverThirty;  // older than L1, not older than L2
  Money OverSixty;   // older than L2, not older than L3
  Money OverNinety;  // older than L3

  // What the account row's Balance holds.
  Money Balance() const { return Current + OverThirty + OverSixty + OverNinety + CreditBalance; }
};

// Ages the invoices of the account with invoice date on or before `as_of`
// (batch type 9 left out) by their due dates. A budget account
// (`use_budget` "YES" in any case) has its whole balance current; a
// batch-type-6 invoice is always current unless `age_batch_type6`.
AgingResult AgeByDueDate(Store& store, int32_t account_index, bool age_batch_type6,
                         std::string_view use_budget, DateTime as_of);
// The same, aged by invoice dates.
AgingResult AgeByInvoiceDate(Store& store, int32_t account_index, bool age_batch_type6,
                             std::string_view use_budget, DateTime as_of);

// The aging of the account the `Accounts` data set stands on as of today,
// by due date when the preference `UseDueDAge` is on.
AgingResult ComputeAccountAging(Store& store, Platform& platform, DataSet& account_row);

// Posts Current, OverThirty, OverSixty, OverNinety and Balance into the row.
void PostAccountAging(DataSet& account_row, const AgingResult& aging);

// Computes and posts the aging, waiting as long as any write does. Nothing
// is written when any figure cannot be computed.
void AgeAccount(Store& store, Platform& platform, DataSet& account_row);

struct AccountAgingWrite {
  AgingResult aging;
  bool written = false;
};

// The aging write of a page view, which must not keep a customer waiting
// while another program holds the store's write lock: the write waits at
// most `max_wait_ms`. When it cannot be made the row is left as it was
// (back in browse state), an operator message says the write was skipped,
// and the figures come back unwritten for the page to show. Other store
// errors propagate as from AgeAccount.
AccountAgingWrite AgeAccountWithin(Store& store, Platform& platform, DataSet& account_row,
                                   int max_wait_ms);

}  // namespace portavel
