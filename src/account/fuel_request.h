// A customer's request for a fuel delivery: the tank's DeliveryStatus
// becomes "Internet Request", which the dealer's dispatch picks up.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "data/store.h"
#include "dates/date_time.h"
#include "money/money.h"

namespace portavel {

// What a request for a tank comes to, by the tank's current status.
enum class FuelDecision { kAccepted, kAlreadyScheduled, kCreditHold, kOnHold, kNoMessage };

// How the customer asked: from the account page, which decides at once
// for an account with at most one tank, or by typing the number of one
// of the account's tanks.
enum class FuelRequestRoute { kOnlyTank, kChosenTank };

// The decision for a tank in `delivery_status`. A status without a text
// (0, negative, above 14) asks for nothing on the account page and is
// accepted for a chosen tank.
FuelDecision DecideFuelRequest(int64_t delivery_status, FuelRequestRoute route);

// The aging stored in the account row by the last look at the account.
struct StoredAging {
  Money balance;
  Money over_thirty;
  Money over_sixty;
  Money over_ninety;
};

// Old charges are unpaid and not covered by credits.
bool IsPastDue(const StoredAging& aging);

// The request for the only tank of the account whose AccountID is
// `account_id` as stored (an account without tanks reads as status 0).
// Accepted, the tank becomes an Internet request held till `today`.
FuelDecision RequestFuelForOnlyTank(Store& store, const std::string& account_id, DateTime today);

// The request for the account's tank numbered `tank_key`; nullopt when
// the account has no such tank, so another account's tanks are never
// touched. Accepted, the tank becomes an Internet request; its Holdtill
// stays.
std::optional<FuelDecision> RequestFuelForTank(Store& store, const std::string& account_id,
                                               int64_t tank_key);

}  // namespace portavel
