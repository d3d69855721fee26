#include "account/fuel_request.h"

#include "account/account_tables.h"
#include "data/data_set.h"

namespace portavel {
namespace {

// The account's tanks in the order the account page lists them.
void OpenTanksOf(DataSet& tanks, const std::string& account_id) {
  tanks.SetIndexName("AcctIndex");
  tanks.AddFilter("AccountID", Value::Text(account_id));
  tanks.Open();
}

// Decides for the tank the cursor stands on and records an accepted request.
FuelDecision RequestFuelForCurrentTank(DataSet& tanks, FuelRequestRoute route, DateTime today) {
  const FuelDecision decision =
      DecideFuelRequest(tanks.FieldByName("DeliveryStatus").AsInteger(), route);
  if (decision != FuelDecision::kAccepted) return decision;
  tanks.Edit();
  tanks.FieldByName("DeliveryStatus").SetInteger(kInternetRequestStatus);
  if (route == FuelRequestRoute::kOnlyTank) {
    tanks.FieldByName("Holdtill").SetDateTime(today.DateOnly());
  }
  tanks.Post();
  return decision;
}

}  // namespace

FuelDecision DecideFuelRequest(int64_t delivery_status, FuelRequestRoute route) {
  switch (delivery_status) {
    case 1:   // Normal
    case 4:   // On Hold
    case 6:   // Request for Fuel
    case 11:  // Called
    case 12:  // Emailed
    case 13:  // Email Confirmed
    case 14:  // Internet Request: recorded again
      return FuelDecision::kAccepted;
    case 2:   // Out of Fuel
    case 3:   // Low on Fuel
    case 8:   // Short Fill Request
    case 9:   // Office Request
    case 10:  // New Customer
      return FuelDecision::kAlreadyScheduled;
    case 5:  // Credit Hold
      return FuelDecision::kCreditHold;
    case 7:  // Office Hold
      return FuelDecision::kOnHold;
    default:
      return route == FuelRequestRoute::kChosenTank ? FuelDecision::kAccepted
                                                    : FuelDecision::kNoMessage;
  }
}

bool IsPastDue(const StoredAging& aging) {
  const bool overdue =
      aging.over_thirty > Money() || aging.over_sixty > Money() || aging.over_ninety > Money();
  return overdue && aging.balance > Money();
}

FuelDecision RequestFuelForOnlyTank(Store& store, const std::string& account_id, DateTime today) {
  DataSet tanks(store, "UserData", "Tanks.DB");
  OpenTanksOf(tanks, account_id);
  if (tanks.IsEmpty()) return DecideFuelRequest(0, FuelRequestRoute::kOnlyTank);
  return RequestFuelForCurrentTank(tanks, FuelRequestRoute::kOnlyTank, today);
}

std::optional<FuelDecision> RequestFuelForTank(Store& store, const std::string& account_id,
                                               int64_t tank_key) {
  DataSet tanks(store, "UserData", "Tanks.DB");
  OpenTanksOf(tanks, account_id);
  if (!tanks.Locate({{"Tankindex", Value::Integer(tank_key)}})) return std::nullopt;
  return RequestFuelForCurrentTank(tanks, FuelRequestRoute::kChosenTank, DateTime());
}

}  // namespace portavel
