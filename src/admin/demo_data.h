// The built-in demo data set: a small dealer with a handful of customers,
// their tanks, invoices and payments, so that the portal can be shown and
// tried without real data.
#pragma once

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

// The delivery ticket the demo's truck has still to record: today's open
// delivery batch holding an invoice of HV1002 for its heating oil tank,
// with the office's product line (150 gallons at the pre-buy price). What
// "/rd" needs to record it; the documentation's curl example uses these.
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

// The data set in the load file's form. Invoice, payment and delivery
// dates are counted back from `today`, so that the ages look current.
// The accounts' aging fields are left null: they follow from the invoices.
std::string DemoDataJson(DateTime today);

}  // namespace portavel
