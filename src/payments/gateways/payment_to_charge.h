// What a gateway client reads from the payment transaction it charges.
#pragma once

#include <cstdint>
#include <string>

#include "money/money.h"

namespace portavel {

class DataSet;

struct PaymentToCharge {
  Money amount;  // PaymentAmount
  int32_t batch_key = 0;
  int32_t trans_key = 0;
  std::string invoice_no;
};

// The values of the row `transaction` stands on.
PaymentToCharge ReadPaymentToCharge(DataSet& transaction);

}  // namespace portavel
