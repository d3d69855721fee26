#include "payments/gateways/payment_to_charge.h"

#include "data/data_set.h"

namespace portavel {

PaymentToCharge ReadPaymentToCharge(DataSet& transaction) {
  PaymentToCharge payment;
  payment.amount = transaction.FieldByName("PaymentAmount").AsMoney();
  payment.batch_key = static_cast<int32_t>(transaction.FieldByName("BatchKey").AsInteger());
  payment.trans_key = static_cast<int32_t>(transaction.FieldByName("TransKey").AsInteger());
  payment.invoice_no = transaction.FieldByName("InvoiceNo").AsString();
  return payment;
}

}  // namespace portavel
