#include "delivery/delivery_fixture.h"

#include "data/data_set.h"
#include "data/query.h"
#include "data/store.h"
#include "data/table_catalog.h"
#include "support/posting_keys.h"

namespace portavel::testing {

Money Dollars(const char* text) {
  return *Money::Parse(text);
}

DeliveryFixture::DeliveryFixture() {
  TempStore& t = temp();
  InsertPostingKeys(t);
  t.Insert("Products", {{"ProductKey", Value::Integer(kPropane)},
                        {"ProductName", Value::Text("Propane")},
                        {"ProductID", Value::Text("LP")},
                        {"Unitofmeasure", Value::Text("Gallons")},
                        {"ProductGroupID", Value::Integer(1)},
                        {"ProductTypekey", Value::Integer(5)},
                        {"POS", Value::Integer(0)},
                        {"GLInventory", Value::Text("1400")},
                        {"GLSales", Value::Text("4000")},
                        {"GLExpense", Value::Text("5100")},
                        {"GLCGS", Value::Text("5000")}});
  const struct {
    int32_t key;
    const char* name;
    const char* rate;
    int calc_on;
  } taxes[] = {{kQuantityTax, "LP Excise", "1.5", 0},
               {kAmountTax, "Sales Tax", "6", 1},
               {kFee, "Hazmat Fee", "2.5", 3}};
  for (const auto& tax : taxes) {
    t.Insert("Taxes",
             {{"Taxkey", Value::Integer(tax.key)},
              {"TaxName", Value::Text(tax.name)},
              {"TaxRate", Value::Currency(Dollars(tax.rate))},
              {"CalconSubTotal", Value::Integer(tax.calc_on)},
              {"TaxType", Value::Integer(0)},
              {"ProductKey", Value::Integer(600 + tax.key)},
              {"GLLiability", Value::Text("2100")}},
             "LocalData");
    // The product's own tax list and the account's.
    t.Insert("TaxLkUp", {{"ProductKey", Value::Integer(kPropane)},
                         {"TaxKey", Value::Integer(tax.key)},
                         {"ChargeTax", Value::Integer(1)}});
    t.Insert("TaxLkUp", {{"AccountKey", Value::Integer(kAccount)},
                         {"TaxKey", Value::Integer(tax.key)},
                         {"ChargeTax", Value::Integer(1)}});
  }
  t.Insert("PCTLkUp", {{"ProductKey", Value::Integer(kPropane)}});
  t.Insert("Tanks", {{"Tankindex", Value::Integer(kTank)}, {"AccountID", Value::Text("SMITH01")}});

  const DateTime ticket_date = *DateTime::FromCivil(2024, 3, 30);
  t.Insert("Manifest", {{"BatchKey", Value::Integer(kBatch)},
                        {"BatchType", Value::Integer(4)},
                        {"Closed", Value::Integer(0)},
                        {"Period", Value::Text("2403")},
                        {"DefaultInvDate", Value::Date(ticket_date)}});
  t.Insert("Invoices", {{"InvoiceKey", Value::Integer(kInvoice)},
                        {"BatchKey", Value::Integer(kBatch)},
                        {"BatchType", Value::Integer(4)},
                        {"InvoiceNo", Value::Text("D 77")},
                        {"InvDate", Value::Date(ticket_date)},
                        {"AccountID", Value::Text("SMITH01")},
                        {"Accountkey", Value::Integer(kAccount)},
                        {"TankKey", Value::Integer(kTank)}});
  t.Insert("Transactions", {{"TransKey", Value::Integer(kTicketLine)},
                            {"Invoicekey", Value::Integer(kInvoice)},
                            {"BatchKey", Value::Integer(kBatch)},
                            {"InvDate", Value::Date(ticket_date)},
                            {"AccountID", Value::Text("SMITH01")},
                            {"Accountkey", Value::Integer(kAccount)},
                            {"TankIndex", Value::Integer(kTank)},
                            {"TransType", Value::Integer(4)},
                            {"ProductKey", Value::Integer(kPropane)},
                            {"ProductID", Value::Text("LP")},
                            {"ProductName", Value::Text("Propane")},
                            {"ProductGroupID", Value::Integer(1)},
                            {"Quantity", Value::Currency(Dollars("100"))},
                            {"Pkgs", Value::Currency(Dollars("100"))},
                            {"TranPrice", Value::Currency(Dollars("2.5"))},
                            {"TransTotal", Value::Currency(Dollars("250"))}});
}

std::string DeliveryFixture::Send(const std::string& path, const std::string& fields,
                                  const std::string& remote_addr, bool as_query) {
  // Refusals tell the operator; the tests' own output stays quiet.
  std::map<std::string, std::string> environment = {
      {"PATH_INFO", path},
      {"REMOTE_ADDR", remote_addr},
      {"PORTAVEL_OPERATOR_LOG", (temp().folder() / "operator.log").string()}};
  if (as_query) {
    environment["REQUEST_METHOD"] = "GET";
    environment["QUERY_STRING"] = fields;
    return portal.Send(environment, "").output;
  }
  environment["REQUEST_METHOD"] = "POST";
  environment["CONTENT_TYPE"] = "application/x-www-form-urlencoded";
  environment["CONTENT_LENGTH"] = std::to_string(fields.size());
  return portal.Send(environment, fields).output;
}

Value DeliveryFixture::Field(const std::string& table, const std::string& key_field, int64_t key,
                             const std::string& field) {
  DataSet rows(temp().store(), "UserData", table);
  rows.Open();
  if (!rows.Locate({{key_field, Value::Integer(key)}})) return Value::Null();
  return rows.FieldByName(field).value();
}

int64_t DeliveryFixture::Scalar(const std::string& sql) {
  Query query(temp().store(), "UserData", sql);
  query.Open();
  return query.Column(0).AsInteger();
}

std::string DeliveryFixture::TextOf(const std::string& sql) {
  Query query(temp().store(), "UserData", sql);
  query.Open();
  return query.Column(0).AsString();
}

std::string DeliveryFixture::Joined(const std::string& sql, const std::string& separator) {
  Query query(temp().store(), "UserData", sql);
  query.Open();
  std::string text;
  for (; !query.Eof(); query.Next()) {
    if (!text.empty()) text += separator;
    text += query.Column(0).AsString();
  }
  return text;
}

std::vector<InvoiceLine> DeliveryFixture::Lines(int32_t invoice_key) {
  DataSet lines(temp().store(), "UserData", "Transactions");
  lines.SetIndexFieldNames("TransKey");
  lines.AddFilter("Invoicekey", Value::Integer(invoice_key));
  lines.Open();
  std::vector<InvoiceLine> rows;
  for (; !lines.Eof(); lines.Next()) {
    auto field = [&lines](const char* name) -> portavel::Field& { return lines.FieldByName(name); };
    rows.push_back({field("TransKey").AsInteger(), field("TransType").AsInteger(),
                    field("ProductID").AsString(), field("ProductName").AsString(),
                    field("TransTotal").AsMoney(), field("TranPrice").AsMoney(),
                    field("Quantity").AsMoney(), field("Pkgs").AsMoney()});
  }
  return rows;
}

std::string DeliveryFixture::Snapshot() {
  std::string text;
  for (const TableDef& table : AllTableDefs()) {
    // Every process writes the installation identity (scid) when there is
    // none, before it reads the request.
    if (table.alias != "UserData" || table.name == "scid" ||
        !temp().store().TableExists("UserData", table.name)) {
      continue;
    }
    Query query(temp().store(), "UserData", "SELECT * FROM " + QuoteIdentifier(table.name));
    query.Open();
    for (; !query.Eof(); query.Next()) {
      text += table.name + ":";
      for (int i = 0; i < query.ColumnCount(); ++i) {
        const Value value = query.Column(i).value();
        text += " " + (value.kind() == Value::Kind::kBytes ? value.AsBytes() : value.AsString());
      }
      text += "\n";
    }
  }
  return text;
}

std::string StatusResponse(const std::string& line, int code) {
  const std::string content = line + "\r\n";
  return "Status: " + std::to_string(code) + (code == 200 ? " OK" : " Forbidden") +
         "\r\nContent-Type: text/html\r\nContent-Length: " + std::to_string(content.size()) +
         "\r\nContent:\r\n\r\n" + content;
}

}  // namespace portavel::testing
