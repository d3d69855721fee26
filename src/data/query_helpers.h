// Single-value questions several subsystems ask of the UserData tables.
// Each runs one statement with its values bound as parameters.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "money/money.h"

namespace portavel {

class Store;

// The general-ledger account code (acct) of an acct row; "No account
// found" when there is no row or its code is empty.
std::string AcctCodeOf(Store& store, int32_t acct_key);

// The AccountIndex of the account whose AccountID is exactly `account_id`
// (the ID compared as one whole value, case included); -1 when there is
// none or its index is empty.
int32_t AccountIndexOf(Store& store, std::string_view account_id);

// The account's invoice totals less discounts and payments, over every
// invoice of a batch type below 9 (an empty batch type counts as 0), with
// no date limit. 0 for an account without invoices.
Money AccountBalance(Store& store, int32_t account_key);

}  // namespace portavel
