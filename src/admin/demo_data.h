// The built-in demo data set: a small dealer with a handful of customers,
// their tanks, invoices and payments, so that the portal can be shown and
// tried without real data.
#pragma once

#include <span>
#include <string>
#include <vector>

#include "dates/date_time.h"

namespace portavel {

struct DemoLogin {
  std::string account_id;
  std::string password;
  std::string about;  // what the account shows ("past due", "budget")
};

const std::vector<DemoLogin>& DemoLogins();

// One event of the demo's history, as the office and the truck saw it.
// Its amounts are not here: posting and pricing work them out.
struct DemoEntry {
  enum class Kind { kDelivery, kRental, kCheckPayment, kBudgetPayment, kCardPayment };
  int account = 0;  // AccountIndex
  int days_ago = 0;
  Kind kind = Kind::kDelivery;
  int tank = 0;                // deliveries and rentals
  int product = 0;             // what a delivery or rental sells
  const char* quantity = "";   // gallons delivered, or a payment's amount
  int pays_entry = -1;         // a payment of an earlier entry's whole total
  const char* reference = "";  // a check payment's number
  const char* price = "";      // a delivery's unit price; empty: the list price
};

// In posting order, oldest first.
std::span<const DemoEntry> DemoHistory();

// The delivery ticket the demo's truck has still to record: today's open
// delivery batch holding an invoice of HV1002 for its heating oil tank,
// with the office's product line (150 gallons at the pre-buy price). What
// "/rd" needs to record it; the documentation's curl example uses these,
// and posting the history must arrive at these keys.
struct DemoTicket {
  int account = 0;
  int tank = 0;
  int batch = 0;
  int invoice = 0;
  int trans = 0;
  int product = 0;
  std::string invoice_no;
  const char* gallons = "";
  const char* price = "";
};
const DemoTicket& DemoDeliveryTicket();

// The delivery batches' driver.
inline constexpr const char* kDemoDriverName = "Dale Porter";

// The data set in the load file's form, without the history: company,
// preferences, products, taxes and their lists, accounts, tanks, pre-buy
// contracts and price tiers, and the key sequences, which the history
// then draws from. Dates are counted back from `today`. The accounts'
// aging fields are left null: they follow from the invoices.
std::string DemoDataJson(DateTime today);

}  // namespace portavel
