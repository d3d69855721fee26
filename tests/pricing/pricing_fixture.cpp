#include "pricing/pricing_fixture.h"

#include "data/query.h"
#include "support/posting_keys.h"

namespace portavel::testing {

DateTime Day(int year, int month, int day) {
  return *DateTime::FromCivil(year, month, day);
}

Money Amount(std::string_view text) {
  return *Money::Parse(text);
}

void InsertRow(Store& store, const std::string& alias, const std::string& table,
               const std::vector<std::pair<const char*, Value>>& defaults, Fields fields) {
  DataSet data(store, alias, table);
  data.Open();
  data.Append();
  for (const auto& [name, value] : defaults) data.FieldByName(name).Set(value);
  for (const auto& [name, value] : fields) data.FieldByName(name).Set(value);
  data.Post();
}

PricingSession::PricingSession(Store& session_store)
    : store(session_store),
      prefs(session_store, "UserData", "RemotePrefs"),
      tables(session_store, platform, prefs),
      context{session_store, tables, prefs} {
  prefs.Open();
}

void PricingSession::Open(int32_t batch_key, int32_t invoice_key) {
  tables.tblBatch.Open();
  ASSERT_TRUE(tables.tblBatch.Locate({{"BatchKey", Value::Integer(batch_key)}}));
  tables.tblInvoice.Open();
  ASSERT_TRUE(tables.tblInvoice.Locate({{"InvoiceKey", Value::Integer(invoice_key)}}));
  tables.tblTransactions.Open();
}

bool PricingTest::Seed() {
  InsertPostingKeys(temp);
  temp.Insert("RemotePrefs", {{"DefaultBankAccount", Value::Text("1010")},
                              {"UseCATonT", Value::Boolean(false)},
                              {"UsePOS", Value::Integer(0)},
                              {"DefGLacct", Value::Integer(4000)},
                              {"DefaultEndPercent", Value::Integer(80)}});
  temp.Insert("acct",
              {{"acctkey", Value::Integer(4000)}, {"acct", Value::Text(kDefGlAccountCode)}});
  return true;
}

void PricingTest::AddInvoice(int64_t batch_type, Fields invoice_fields, Fields batch_fields) {
  InsertRow(store, "UserData", "Manifest",
            {{"BatchKey", Value::Integer(kBatchKey)},
             {"BatchType", Value::Integer(batch_type)},
             {"Closed", Value::Integer(0)},
             {"BankKey", Value::Text("1020")},
             {"Period", Value::Text("2403")},
             {"DefaultInvDate", Value::Date(Day(2024, 3, 15))}},
            batch_fields);
  InsertRow(store, "UserData", "Invoices",
            {{"InvoiceKey", Value::Integer(kInvoiceKey)},
             {"BatchKey", Value::Integer(kBatchKey)},
             {"BatchType", Value::Integer(batch_type)},
             {"InvoiceNo", Value::Text("D 77")},
             {"InvDate", Value::Date(Day(2024, 3, 15))},
             {"AccountID", Value::Text("HV1001")},
             {"Accountkey", Value::Integer(kAccountKey)},
             {"TankKey", Value::Integer(kTankKey)}},
            invoice_fields);
  session.Open();
}

void PricingTest::SetPref(const char* name, Value value) {
  session.prefs.Edit();
  session.prefs.FieldByName(name).Set(value);
  session.prefs.Post();
}

int32_t PricingTest::AddLine(Fields fields) {
  const int32_t key = next_line_key_++;
  InsertRow(store, "UserData", "Transactions",
            {{"TransKey", Value::Integer(key)},
             {"Invoicekey", Value::Integer(kInvoiceKey)},
             {"BatchKey", Value::Integer(kBatchKey)},
             {"InvDate", Value::Date(Day(2024, 3, 15))},
             {"Accountkey", Value::Integer(kAccountKey)},
             {"AccountID", Value::Text("HV1001")},
             {"TransType", Value::Integer(4)},
             {"ProductID", Value::Text("LP")},
             {"ProductName", Value::Text("Propane")},
             {"ProductGroupID", Value::Integer(1)}},
            fields);
  // The session reads the invoice's lines again, as after its own post.
  if (session.tables.tblTransactions.Active()) session.tables.tblTransactions.Refresh();
  return key;
}

void PricingTest::AddTax(int32_t key, Fields fields) {
  InsertRow(store, "LocalData", "Taxes",
            {{"Taxkey", Value::Integer(key)},
             {"TaxName", Value::Text("Tax " + std::to_string(key))},
             {"TaxRate", Value::Currency(Amount("8"))},
             {"CalconSubTotal", Value::Integer(1)},
             {"TaxType", Value::Integer(0)},
             {"ProductKey", Value::Integer(600 + key)},
             {"GLLiability", Value::Text("2100")}},
            fields);
}

void PricingTest::ListTaxForProduct(int32_t product_key, int32_t tax_key, int64_t charge_tax) {
  temp.Insert("TaxLkUp", {{"ProductKey", Value::Integer(product_key)},
                          {"TaxKey", Value::Integer(tax_key)},
                          {"ChargeTax", Value::Integer(charge_tax)}});
}

void PricingTest::ListTaxForAccount(int32_t tax_key, int64_t charge_tax) {
  temp.Insert("TaxLkUp", {{"AccountKey", Value::Integer(kAccountKey)},
                          {"TaxKey", Value::Integer(tax_key)},
                          {"ChargeTax", Value::Integer(charge_tax)}});
}

void PricingTest::LevyTaxOnTax(int32_t taxed_key, int32_t fee_key) {
  temp.Insert("TaxLkUp", {{"TaxLkUpKey", Value::Integer(9000 + fee_key)},
                          {"TaxableTaxKey", Value::Integer(taxed_key)},
                          {"FeeKey", Value::Integer(fee_key)}});
}

void PricingTest::Link(int32_t trans_key, int32_t tax_key, int64_t charge_tax) {
  temp.Insert("TransTaxLkUp", {{"TransKey", Value::Integer(trans_key)},
                               {"TaxKey", Value::Integer(tax_key)},
                               {"ChargeTax", Value::Integer(charge_tax)}});
}

std::vector<LineRow> PricingTest::Lines(int32_t invoice_key) {
  DataSet lines(store, "UserData", "Transactions");
  lines.SetIndexFieldNames("TransKey");
  lines.AddFilter("Invoicekey", Value::Integer(invoice_key));
  lines.Open();
  std::vector<LineRow> rows;
  for (; !lines.Eof(); lines.Next()) {
    auto field = [&lines](const char* name) -> Field& { return lines.FieldByName(name); };
    rows.push_back(
        {static_cast<int32_t>(field("TransKey").AsInteger()), field("TransType").AsInteger(),
         field("ProductID").AsString(), field("ProductName").AsString(),
         field("TransTotal").AsMoney(), field("TranPrice").AsMoney(), field("Quantity").AsMoney(),
         field("Pkgs").AsMoney(), field("TransPOS").AsInteger(), field("GLType").AsInteger(),
         field("GLSales").AsString(), field("ParentChild").AsInteger(),
         field("TransactionKey").AsInteger(), field("ProductGroupID").AsInteger()});
  }
  return rows;
}

std::vector<LineRow> PricingTest::LinesOfType(int64_t trans_type, int32_t invoice_key) {
  std::vector<LineRow> rows;
  for (LineRow& row : Lines(invoice_key)) {
    if (row.trans_type == trans_type) rows.push_back(std::move(row));
  }
  return rows;
}

Links PricingTest::LinksOf(int32_t trans_key) {
  Query query(store, "UserData",
              "select TaxKey, ChargeTax, Taxable from TransTaxLkUp where TransKey = :TransKey "
              "order by TransTaxLkUpKey, rowid");
  query.SetParam("TransKey", Value::Integer(trans_key));
  query.Open();
  Links links;
  for (; !query.Eof(); query.Next()) {
    links.push_back(
        {query.Column(0).AsInteger(), query.Column(1).AsInteger(), query.Column(2).AsInteger()});
  }
  return links;
}

Value PricingTest::InvoiceField(const char* name, int32_t invoice_key) {
  DataSet invoices(store, "UserData", "Invoices");
  invoices.Open();
  if (!invoices.Locate({{"InvoiceKey", Value::Integer(invoice_key)}})) return Value::Null();
  return invoices.FieldByName(name).value();
}

}  // namespace portavel::testing
