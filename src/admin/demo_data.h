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

// The data set in the load file's form. Invoice, payment and delivery
// dates are counted back from `today`, so that the ages look current.
// The accounts' aging fields are left null: they follow from the invoices.
std::string DemoDataJson(DateTime today);

}  // namespace portavel
