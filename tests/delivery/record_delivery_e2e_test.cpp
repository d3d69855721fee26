// "/rd", recording a delivery, answered by the built program as a CGI
// process: the status lines, the rows it finds, creates and changes, and
// the error page of the failures that are not a status line.
#include <gtest/gtest.h>

#include <functional>

#include "data/store.h"
#include "delivery/delivery_fixture.h"
#include "support/posting_keys.h"
#include "web/web_response.h"

namespace portavel::testing {
namespace {

class RecordDeliveryE2eTest : public ::testing::Test, protected DeliveryFixture {};

// The ticket's line and, written anew by every recording, its tax and fee
// lines under the keys given.
std::vector<InvoiceLine> PricedTicket(int64_t first_tax_key) {
  return {
      {kTicketLine, 4, "LP", "Propane", Dollars("250"), Dollars("2.5"), Dollars("100"),
       Dollars("100")},
      {first_tax_key, 7, "TAX", "LP Excise", Dollars("1.5"), Dollars("0.015"), Dollars("1"),
       Dollars("1")},
      {first_tax_key + 1, 7, "TAX", "Sales Tax", Dollars("15"), Dollars("0.06"), Dollars("1"),
       Dollars("1")},
      {first_tax_key + 2, 7, "FEE", "Hazmat Fee", Dollars("2.5"), Dollars("2.5"), Dollars("1"),
       Dollars("1")},
  };
}

TEST_F(RecordDeliveryE2eTest, RecordingTheOfficesTicketPricesTheInvoice) {
  EXPECT_EQ(Send("/rd", kTicketDelivery), StatusResponse("200 RECORDED"));

  auto invoice = [&](const char* field) {
    return Field("Invoices", "InvoiceKey", kInvoice, field);
  };
  EXPECT_EQ(invoice("InvDate").AsDateTime().ToIsoDate(), "2024-03-31");
  EXPECT_EQ(invoice("InvoiceNo").AsString(), "D 77");
  auto line = [&](const char* field) {
    return Field("Transactions", "TransKey", kTicketLine, field);
  };
  EXPECT_EQ(line("EndPercent").AsInteger(), 80);
  EXPECT_EQ(line("UnitofMeasure").AsString(), "Gallons");
  EXPECT_EQ(line("GLCOGS").AsString(), "5000");
  EXPECT_EQ(line("ProductTypeKey").AsInteger(), 5);
  // Each of the three taxes is linked to the line and charged.
  EXPECT_EQ(Joined("SELECT \"TaxKey\" || ':' || \"ChargeTax\" || ':' || \"Taxable\" FROM "
                   "\"TransTaxLkUp\" WHERE \"TransKey\" = 1000 ORDER BY \"TransTaxLkUpKey\"",
                   " "),
            "1:1:1 2:1:1 3:1:1");
  // Taxes are worked out once for the line and again for the totals; the
  // second set stands.
  EXPECT_EQ(Lines(), PricedTicket(kFirstTransKey + 3));
  const struct {
    const char* field;
    const char* amount;
  } totals[] = {{"Subtotal", "252.5"}, {"Taxtotal", "16.5"},      {"FeeTotal", "2.5"},
                {"InvTotal", "269"},   {"InvoiceBalance", "269"}, {"OIBalance", "269"},
                {"Gallons", "100"},    {"TotalQuantity", "101"}};
  for (const auto& total : totals) {
    EXPECT_EQ(invoice(total.field).AsMoney(), Dollars(total.amount)) << total.field;
  }

  // The same delivery again changes no value; the tax links and the tax
  // lines are made again under new keys.
  EXPECT_EQ(Send("/rd", kTicketDelivery), StatusResponse("200 RECORDED"));
  EXPECT_EQ(Lines(), PricedTicket(kFirstTransKey + 9));
  EXPECT_EQ(invoice("InvTotal").AsMoney(), Dollars("269"));
  EXPECT_EQ(Scalar("SELECT COUNT(*) FROM \"TransTaxLkUp\" WHERE \"TransKey\" = 1000 AND "
                   "\"TransTaxLkUpKey\" >= " +
                   std::to_string(kFirstTaxLinkKey + 3)),
            3);
}

TEST_F(RecordDeliveryE2eTest, KeysTheStoreDoesNotHaveBecomeBareRows) {
  EXPECT_EQ(Send("/rd",
                 "Account=900&Tank=901&Batch=902&Invoice=903&Trans=904&Product=71&Pkgs=12.5"
                 "&Price=3.1&EndPercent=70&InvNo=T+903&InvDate=3/30/2024"),
            StatusResponse("200 RECORDED"));

  EXPECT_EQ(Scalar("SELECT COUNT(*) FROM \"Accounts\" WHERE \"AccountIndex\" = 900 AND "
                   "\"AccountID\" IS NULL "
                   "AND \"Balance\" IS NULL"),
            1);
  EXPECT_EQ(
      Scalar("SELECT COUNT(*) FROM \"Tanks\" WHERE \"Tankindex\" = 901 AND \"AccountID\" IS NULL"),
      1);
  // No payment-batch defaults: a batch without Closed counts as open.
  EXPECT_EQ(Scalar("SELECT COUNT(*) FROM \"Manifest\" WHERE \"BatchKey\" = 902 AND \"BatchType\" "
                   "IS NULL AND "
                   "\"Closed\" IS NULL AND \"DefInvType\" IS NULL AND \"Period\" IS NULL"),
            1);
  EXPECT_EQ(
      Scalar(
          "SELECT COUNT(*) FROM \"Invoices\" WHERE \"InvoiceKey\" = 903 AND \"BatchKey\" = 902 AND "
          "\"Accountkey\" = 900 AND \"AccountID\" IS NULL AND \"TankKey\" = 901 AND "
          "\"InvoiceNo\" = 'T 903' AND \"InvDate\" = '2024-03-30' AND \"InvType\" IS NULL"),
      1);
  auto line = [&](const char* field) { return Field("Transactions", "TransKey", 904, field); };
  EXPECT_EQ(line("Invoicekey").AsInteger(), 903);
  EXPECT_EQ(line("BatchKey").AsInteger(), 902);
  EXPECT_EQ(line("Accountkey").AsInteger(), 900);
  EXPECT_EQ(line("TankIndex").AsInteger(), 901);
  EXPECT_EQ(line("ProductID").AsString(), "LP");
  EXPECT_EQ(line("GLInventory").AsString(), "1400");
  EXPECT_EQ(line("Pkgs").AsMoney(), Dollars("12.5"));
  EXPECT_EQ(line("TranPrice").AsMoney(), Dollars("3.1"));
  EXPECT_EQ(line("EndPercent").AsInteger(), 70);
  // The office's fields: not the payment line's defaults, not computed.
  for (const char* office_field : {"Quantity", "TransTotal", "TransType", "Posted", "Time"}) {
    EXPECT_TRUE(line(office_field).IsNull()) << office_field;
  }
  // The account has no tax list, so the line keeps no tax link; the totals
  // are those of a line without an amount.
  EXPECT_EQ(Scalar("SELECT COUNT(*) FROM \"TransTaxLkUp\" WHERE \"TransKey\" = 904"), 0);
  EXPECT_EQ(Lines(903).size(), 1u);
  EXPECT_EQ(Field("Invoices", "InvoiceKey", 903, "TotalQuantity").AsMoney(), Dollars("12.5"));
  EXPECT_EQ(Field("Invoices", "InvoiceKey", 903, "InvTotal").AsMoney(), Money());
  // The keys came with the request; none was drawn.
  EXPECT_EQ(NextKeyOf(temp().store(), "Manifest"), kFirstBatchKey);
  EXPECT_EQ(NextKeyOf(temp().store(), "Invoices"), kFirstInvoiceKey);
}

TEST_F(RecordDeliveryE2eTest, AnInvoiceAndALineFoundElsewhereMoveWhereTheTruckSays) {
  temp().Insert("Manifest", {{"BatchKey", Value::Integer(43)}, {"Closed", Value::Integer(0)}});
  temp().Insert("Invoices", {{"InvoiceKey", Value::Integer(78)},
                             {"BatchKey", Value::Integer(43)},
                             {"InvoiceNo", Value::Text("D 78")},
                             {"Accountkey", Value::Integer(2)},
                             {"AccountID", Value::Text("NOPASS")}});
  temp().Insert("Transactions", {{"TransKey", Value::Integer(1001)},
                                 {"Invoicekey", Value::Integer(kInvoice)},
                                 {"BatchKey", Value::Integer(kBatch)},
                                 {"ProductName", Value::Text("Propane")}});

  EXPECT_EQ(Send("/rd", "Account=1&Tank=55&Batch=42&Invoice=78&Trans=1001&Product=71&Pkgs=20"),
            StatusResponse("200 RECORDED"));
  EXPECT_EQ(TextOf("SELECT \"BatchKey\" || ' ' || \"Accountkey\" || ' ' || \"AccountID\" || ' ' || "
                   "\"TankKey\" "
                   "FROM \"Invoices\" WHERE \"InvoiceKey\" = 78"),
            "42 1 SMITH01 55");
  EXPECT_EQ(
      TextOf("SELECT \"Invoicekey\" || ' ' || \"BatchKey\" || ' ' || \"Accountkey\" || ' ' || "
             "\"AccountID\" || ' ' || \"TankIndex\" || ' ' || \"Pkgs\" FROM \"Transactions\" "
             "WHERE \"TransKey\" = 1001"),
      "78 42 1 SMITH01 55 200000");
  EXPECT_EQ(Lines().size(), 1u) << "only the ticket's line is left on invoice 77";
}

TEST_F(RecordDeliveryE2eTest, AbsentValuesLeaveTheFieldsAsTheyWere) {
  // No tank, no amount, a price of 0 and an empty invoice number.
  EXPECT_EQ(Send("/rd", "Account=1&Batch=42&Invoice=77&Trans=1000&Product=71&Price=0&InvNo="),
            StatusResponse("200 RECORDED"));
  EXPECT_EQ(Field("Invoices", "InvoiceKey", kInvoice, "InvoiceNo").AsString(), "D 77");
  EXPECT_EQ(Field("Invoices", "InvoiceKey", kInvoice, "TankKey").AsInteger(), kTank);
  EXPECT_EQ(Field("Invoices", "InvoiceKey", kInvoice, "InvDate").AsDateTime().ToIsoDate(),
            "2024-03-30");
  EXPECT_EQ(Lines()[0], PricedTicket(0)[0]);
  EXPECT_TRUE(Field("Transactions", "TransKey", kTicketLine, "EndPercent").IsNull());
}

TEST_F(RecordDeliveryE2eTest, QueryFieldsServeARequestWithoutABody) {
  EXPECT_EQ(Send("/rd", kTicketDelivery, "127.0.0.1", /*as_query=*/true),
            StatusResponse("200 RECORDED"));
  EXPECT_EQ(Field("Invoices", "InvoiceKey", kInvoice, "InvTotal").AsMoney(), Dollars("269"));
}

TEST(RecordDeliveryStatusTest, EveryStatusLine) {
  // A trigger that takes a new row out again stands for a row that could
  // not be made.
  auto vanishing = [](const char* table) {
    const std::string quoted = QuoteIdentifier(table);
    return TriggerSql(E2eStoreEngine(), "vanish", "AFTER INSERT", quoted,
                      "DELETE FROM " + quoted + " WHERE rowid = NEW.rowid;");
  };
  const struct {
    std::string setup;
    std::string fields;
    std::string line;
  } cases[] = {
      {"", "", "ERR NO INVOICE DATA"},
      {"", "Batch=42", "ERR NO ACCOUNT"},
      {"", "Account=-1&Batch=42", "ERR NO ACCOUNT"},
      {vanishing("Accounts"), "Account=900&Batch=42", "ERR VERIFY ACCOUNT"},
      {vanishing("Tanks"), "Account=1&Tank=901&Batch=42", "ERR VERIIFY TANK"},
      {"", "Account=1&Tank=55", "ERR NO BATCH"},
      {vanishing("Manifest"), "Account=1&Batch=902", "ERR VERIFY BATCH"},
      {"UPDATE \"Manifest\" SET \"Closed\" = 1", "Account=1&Batch=42&Invoice=77&Trans=1000",
       "ERR BATCH CLOSED"},
      {"", "Account=1&Batch=42", "ERR NO INVOICE"},
      {vanishing("Invoices"), "Account=1&Batch=42&Invoice=903", "ERR VERIFY INVOICE"},
      {"", "Account=1&Batch=42&Invoice=77", "ERR NO TRANS"},
      {vanishing("Transactions"), "Account=1&Batch=42&Invoice=77&Trans=904", "ERR VERIFY TRANS"},
      // The office closes the batch while the line is being made.
      {TriggerSql(E2eStoreEngine(), "closing", "AFTER INSERT", "\"Transactions\"",
                  "UPDATE \"Manifest\" SET \"Closed\" = 1;"),
       "Account=1&Batch=42&Invoice=77&Trans=904&Product=71", "ERR RECORDING DELIVERY"},
      {"", kTicketDelivery, "200 RECORDED"},
  };
  for (const auto& c : cases) {
    DeliveryFixture fixture;
    if (!c.setup.empty()) fixture.Exec(c.setup);
    EXPECT_EQ(fixture.Send("/rd", c.fields), StatusResponse(c.line)) << c.fields;
  }
}

TEST_F(RecordDeliveryE2eTest, ValuesThatDoNotReadEndInTheErrorPageBeforeAnythingIsWritten) {
  const std::string before = Snapshot();
  const struct {
    const char* fields;
    const char* message;
  } cases[] = {
      {"Account=abc&Batch=42", "'abc' is not a valid integer value"},
      {"Account=1&Tank=&Batch=42", "'' is not a valid integer value"},
      {"Account=1&Batch=42&Invoice=77&Trans=1000&Pkgs=1,5",
       "'1,5' is not a valid floating point "
       "value"},
      {"Account=1&Batch=42&InvDate=2024-03-31", "'2024-03-31' is not a valid date and time"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Send("/rd", c.fields), ErrorResponseBytes("EConvertError", c.message)) << c.fields;
  }
  EXPECT_EQ(Snapshot(), before);
}

TEST_F(RecordDeliveryE2eTest, AnUnknownProductEndsInTheErrorPageAfterTheInvoiceIsWritten) {
  EXPECT_EQ(Send("/rd",
                 "Account=1&Tank=55&Batch=42&Invoice=77&Trans=1000&Product=999&InvNo=D+77A"
                 "&InvDate=3/31/2024"),
            ErrorResponseBytes("Exception", "no product found: 999"));
  EXPECT_EQ(Field("Invoices", "InvoiceKey", kInvoice, "InvoiceNo").AsString(), "D 77A");
  EXPECT_EQ(Field("Invoices", "InvoiceKey", kInvoice, "InvDate").AsDateTime().ToIsoDate(),
            "2024-03-31");
  EXPECT_EQ(Field("Transactions", "TransKey", kTicketLine, "ProductKey").AsInteger(), 999);
  // The line lost its tax links with its product, and the invoice was
  // still finished: no tax lines, the totals of the line alone.
  EXPECT_EQ(Lines(), std::vector<InvoiceLine>{PricedTicket(0)[0]});
  EXPECT_EQ(Field("Invoices", "InvoiceKey", kInvoice, "InvTotal").AsMoney(), Dollars("250"));
}

TEST_F(RecordDeliveryE2eTest, ATableThatCannotBeOpenedEndsInTheErrorPage) {
  Exec("DROP TABLE \"Tanks\"");
  EXPECT_EQ(Send("/rd", kTicketDelivery),
            ErrorResponseBytes("Exception", "Could not open Tanks.DB"));
}

}  // namespace
}  // namespace portavel::testing
