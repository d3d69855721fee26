#include "account/fuel_request.h"

#include <gtest/gtest.h>

#include <utility>

#include "data/data_set.h"
#include "support/temp_store.h"

namespace portavel {
namespace {

using testing::TempStore;

// The status the dealer's dispatch reads as "Internet Request".
constexpr int64_t kInternetRequest = 14;

TEST(FuelRequestTest, TheTanksStatusDecidesForBothRoutes) {
  using enum FuelDecision;
  const struct {
    int64_t status;
    FuelDecision only_tank;
    FuelDecision chosen_tank;
  } kCases[] = {
      {1, kAccepted, kAccepted},
      {4, kAccepted, kAccepted},
      {6, kAccepted, kAccepted},
      {11, kAccepted, kAccepted},
      {12, kAccepted, kAccepted},
      {13, kAccepted, kAccepted},
      {14, kAccepted, kAccepted},
      {2, kAlreadyScheduled, kAlreadyScheduled},
      {3, kAlreadyScheduled, kAlreadyScheduled},
      {8, kAlreadyScheduled, kAlreadyScheduled},
      {9, kAlreadyScheduled, kAlreadyScheduled},
      {10, kAlreadyScheduled, kAlreadyScheduled},
      {5, kCreditHold, kCreditHold},
      {7, kOnHold, kOnHold},
      // A status without a text asks for nothing from the account page;
      // a tank the customer chose is taken as asking.
      {0, kNoMessage, kAccepted},
      {-1, kNoMessage, kAccepted},
      {15, kNoMessage, kAccepted},
  };
  for (const auto& c : kCases) {
    EXPECT_EQ(DecideFuelRequest(c.status, FuelRequestRoute::kOnlyTank), c.only_tank) << c.status;
    EXPECT_EQ(DecideFuelRequest(c.status, FuelRequestRoute::kChosenTank), c.chosen_tank)
        << c.status;
  }
}

TEST(FuelRequestTest, PastDueNeedsOldChargesAndAnUnpaidBalance) {
  const Money none;
  const Money ten = Money::FromWhole(10);
  const Money cent = Money::FromUnits(100);
  const struct {
    StoredAging aging;  // balance, over 30, over 60, over 90 days
    bool past_due;
  } kCases[] = {
      {{ten, ten, none, none}, true},
      {{ten, none, ten, none}, true},
      {{cent, none, none, cent}, true},
      {{ten, none, none, none}, false},                   // only current charges
      {{none, none, none, Money::FromWhole(50)}, false},  // covered by credits
      {{Money::FromWhole(-5), ten, none, none}, false},
  };
  for (const auto& c : kCases) {
    EXPECT_EQ(IsPastDue(c.aging), c.past_due)
        << c.aging.balance.ToString() << " " << c.aging.over_thirty.ToString() << " "
        << c.aging.over_sixty.ToString() << " " << c.aging.over_ninety.ToString();
  }
}

// Two accounts' tanks, each with a Holdtill that shows whether it moved.
class FuelRequestStoreTest : public ::testing::Test {
 protected:
  const DateTime kEarlier = *DateTime::FromCivil(2024, 1, 2);
  const DateTime kToday = *DateTime::FromCivil(2024, 3, 31, 10, 30);

  void AddTank(int64_t key, const char* account, int64_t status) {
    temp_.Insert("Tanks", {{"Tankindex", Value::Integer(key)},
                           {"AccountID", Value::Text(account)},
                           {"DeliveryStatus", Value::Integer(status)},
                           {"Holdtill", Value::DateTimeValue(kEarlier)}});
  }
  // (DeliveryStatus, Holdtill) of a tank.
  std::pair<int64_t, DateTime> Tank(int64_t key) {
    DataSet tanks(temp_.store(), "UserData", "Tanks");
    tanks.Open();
    EXPECT_TRUE(tanks.Locate({{"Tankindex", Value::Integer(key)}})) << key;
    return {tanks.FieldByName("DeliveryStatus").AsInteger(),
            tanks.FieldByName("Holdtill").AsDateTime()};
  }

  TempStore temp_;
};

TEST_F(FuelRequestStoreTest, AChosenTankIsWrittenOnlyWhenAcceptedAndOnlyForItsAccount) {
  AddTank(9, "SMITH01", 0);
  AddTank(12, "SMITH01", 2);
  AddTank(40, "JONES", 1);

  // kAccepted: the request is recorded, and the hold date stays.
  EXPECT_EQ(RequestFuelForTank(temp_.store(), "SMITH01", 9), FuelDecision::kAccepted);
  EXPECT_EQ(Tank(9), std::make_pair(kInternetRequest, kEarlier));
  // Refused: nothing changes.
  EXPECT_EQ(RequestFuelForTank(temp_.store(), "SMITH01", 12), FuelDecision::kAlreadyScheduled);
  EXPECT_EQ(Tank(12), std::make_pair(int64_t{2}, kEarlier));
  // Another account's tank is not found, and stays as it was.
  EXPECT_EQ(RequestFuelForTank(temp_.store(), "SMITH01", 40), std::nullopt);
  EXPECT_EQ(RequestFuelForTank(temp_.store(), "SMITH01", 41), std::nullopt);
  EXPECT_EQ(Tank(40), std::make_pair(int64_t{1}, kEarlier));
}

TEST_F(FuelRequestStoreTest, TheOnlyTankIsHeldTillTodayWhenAccepted) {
  AddTank(9, "SMITH01", 6);
  AddTank(12, "JONES", 0);
  AddTank(40, "BROWN", 5);

  EXPECT_EQ(RequestFuelForOnlyTank(temp_.store(), "SMITH01", kToday), FuelDecision::kAccepted);
  EXPECT_EQ(Tank(9), std::make_pair(kInternetRequest, kToday.DateOnly()));
  // A status without a text asks for nothing here, and changes nothing.
  EXPECT_EQ(RequestFuelForOnlyTank(temp_.store(), "JONES", kToday), FuelDecision::kNoMessage);
  EXPECT_EQ(Tank(12), std::make_pair(int64_t{0}, kEarlier));
  EXPECT_EQ(RequestFuelForOnlyTank(temp_.store(), "BROWN", kToday), FuelDecision::kCreditHold);
  EXPECT_EQ(Tank(40), std::make_pair(int64_t{5}, kEarlier));
  // An account without tanks reads as status 0.
  EXPECT_EQ(RequestFuelForOnlyTank(temp_.store(), "GREEN", kToday), FuelDecision::kNoMessage);
}

}  // namespace
}  // namespace portavel
