#include "support/payment_fixture.h"

#include "data/query.h"
#include "data/store.h"
#include "support/portal_fixture.h"
#include "support/posting_keys.h"

namespace portavel::testing {

void SetUpPaymentStore(TempStore& temp) {
  temp.store().Execute(
      "UserData",
      "UPDATE \"RemotePrefs\" SET \"MerchantID\" = 0, \"CCMin\" = 50000, \"NextCCNo\" = 1042, "
      "\"DefaultBankAccount\" = '12', \"CCUserName\" = 'hvuser', \"CCPassword\" = 'hvpass', "
      "\"CCVendorID\" = '77'");
  InsertPostingKeys(temp);
  temp.Insert("Keys", {{"TableName", Value::Text("Log")},
                       {"FieldName", Value::Text("Logkey")},
                       {"NextNumber", Value::Integer(1)}});
}

void AddInvoice(TempStore& temp, int key, const char* inv_total, const char* discount,
                const char* payment_total, int batch_type) {
  temp.Insert("Invoices", {{"InvoiceKey", Value::Integer(key)},
                           {"Accountkey", Value::Integer(1)},
                           {"BatchType", Value::Integer(batch_type)},
                           {"InvoiceNo", Value::Text(std::to_string(9000 + key))},
                           {"InvTotal", Value::Currency(*Money::Parse(inv_total))},
                           {"DiscountAmount", Value::Currency(*Money::Parse(discount))},
                           {"PaymentTotal", Value::Currency(*Money::Parse(payment_total))}});
}

void SetRemotePref(Store& store, const char* field, const Value& value) {
  DataSet prefs(store, "UserData", "RemotePrefs");
  prefs.Open();
  prefs.Edit();
  prefs.FieldByName(field).Set(value);
  prefs.Post();
}

int64_t CountRows(TempStore& temp, const std::string& table) {
  Query query(temp.store(), "UserData", "SELECT COUNT(*) AS n FROM " + QuoteIdentifier(table));
  query.Open();
  return query.FieldByName("n").AsInteger();
}

int64_t NextCardNumber(TempStore& temp) {
  Query query(temp.store(), "UserData", "SELECT \"NextCCNo\" FROM \"RemotePrefs\"");
  query.Open();
  return query.FieldByName("NextCCNo").AsInteger();
}

std::string ExpectedOutcomePage(bool approved) {
  std::string outcome =
      approved ? "  <b>Transaction Successful.<BR>\r\n  </b>\r\n"
               : "  <b>Transaction was not successful.  Please call the office: 555-0100<BR>\r\n"
                 "  </b>\r\n";
  return ExpectedResponse(
      ExpectedPageHeader("Harbor &amp; Sons") + outcome +
      " <form action=\"/cgi-bin/Portavel.exe/MainAccountPg\" method=\"post\">\r\n"
      "  <input type=\"hidden\" id=\"AccountID\" name=\"AccountID\" value=\"SMITH01\" /> \r\n"
      "  <input type=\"submit\" value=\"Go To Account.\" />\r\n"
      " </form>\r\n"
      " <br>\r\n"
      "</body>\r\n</html>\r\n");
}

}  // namespace portavel::testing
