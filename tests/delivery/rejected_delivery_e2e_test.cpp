// "/rd" naming rows the office already placed elsewhere: invoice 3300 and
// its line 3301 stand in batch 2001 on account 7 (JONES07) and tank 300;
// the truck names account 100 (BROWN100), tank 301 and batch 2012, which
// the store does not have yet. A delivery that is refused leaves the
// invoice and the line where they were; one that is recorded moves them.
#include <gtest/gtest.h>

#include <string>

#include "data/store.h"
#include "delivery/delivery_fixture.h"

namespace portavel::testing {
namespace {

constexpr const char* kOfficePlacement = "2001 7 JONES07 300";
constexpr const char* kOfficeLinePlacement = "3300 2001 7 JONES07 300";
constexpr const char* kTruckKeys = "Account=100&Tank=301&Batch=2012";

// A trigger that makes the office close every batch the moment a row is
// inserted into `table`, after the batch was found open.
std::string ClosingOnInsertInto(const char* table) {
  return TriggerSql(E2eStoreEngine(), "closing", "AFTER INSERT", QuoteIdentifier(table),
                    "UPDATE \"Manifest\" SET \"Closed\" = 1;");
}

struct PlacedElsewhere : DeliveryFixture {
  PlacedElsewhere() {
    temp().Insert("Accounts",
                  {{"AccountIndex", Value::Integer(100)}, {"AccountID", Value::Text("BROWN100")}});
    temp().Insert("Manifest", {{"BatchKey", Value::Integer(2001)}, {"Closed", Value::Integer(0)}});
    temp().Insert("Invoices", {{"InvoiceKey", Value::Integer(3300)},
                               {"BatchKey", Value::Integer(2001)},
                               {"Accountkey", Value::Integer(7)},
                               {"AccountID", Value::Text("JONES07")},
                               {"TankKey", Value::Integer(300)}});
    temp().Insert("Transactions", {{"TransKey", Value::Integer(3301)},
                                   {"Invoicekey", Value::Integer(3300)},
                                   {"BatchKey", Value::Integer(2001)},
                                   {"Accountkey", Value::Integer(7)},
                                   {"AccountID", Value::Text("JONES07")},
                                   {"TankIndex", Value::Integer(300)}});
  }

  // BatchKey, Accountkey, AccountID and TankKey of an invoice.
  std::string InvoicePlacement(int invoice) {
    return TextOf(
        "SELECT \"BatchKey\" || ' ' || \"Accountkey\" || ' ' || coalesce(CAST(\"AccountID\" AS "
        "TEXT), '-') || ' ' || "
        "coalesce(CAST(\"TankKey\" AS TEXT), '-') FROM \"Invoices\" WHERE \"InvoiceKey\" = " +
        std::to_string(invoice));
  }
  // Invoicekey, BatchKey, Accountkey, AccountID and TankIndex of a line.
  std::string LinePlacement(int trans) {
    return TextOf(
        "SELECT \"Invoicekey\" || ' ' || \"BatchKey\" || ' ' || \"Accountkey\" || ' ' || "
        "coalesce(CAST(\"AccountID\" AS TEXT), '-') || ' ' || coalesce(CAST(\"TankIndex\" AS "
        "TEXT), '-') FROM \"Transactions\" WHERE "
        "\"TransKey\" = " +
        std::to_string(trans));
  }
  int64_t Rows(const char* table, const char* key_field, int key) {
    return Scalar("SELECT COUNT(*) FROM " + QuoteIdentifier(table) + " WHERE " +
                  QuoteIdentifier(key_field) + " = " + std::to_string(key));
  }
};

TEST(RejectedDeliveryE2eTest, ARefusedDeliveryLeavesTheOfficesInvoiceAndLineWhereTheyWere) {
  const struct {
    std::string setup;
    std::string fields;  // after the truck's account, tank and batch
    const char* line;
    int new_invoice;  // made by the request, or 0
    int new_trans;
  } cases[] = {
      {"", "&Invoice=3300", "ERR NO TRANS", 0, 0},
      // The line cannot be made.
      {TriggerSql(E2eStoreEngine(), "vanish", "AFTER INSERT", "\"Transactions\"",
                  "DELETE FROM \"Transactions\" WHERE rowid = NEW.rowid;"),
       "&Invoice=3300&Trans=3399", "ERR VERIFY TRANS", 0, 0},
      // The batch is closed once the new line is made: the invoice stays.
      {ClosingOnInsertInto("Transactions"), "&Invoice=3300&Trans=3399&Product=71",
       "ERR RECORDING DELIVERY", 0, 3399},
      // ... once the new invoice is made: the office's line stays.
      {ClosingOnInsertInto("Invoices"), "&Invoice=3399&Trans=3301&Product=71",
       "ERR RECORDING DELIVERY", 3399, 0},
  };
  for (const auto& c : cases) {
    PlacedElsewhere rows;
    if (!c.setup.empty()) rows.Exec(c.setup);
    EXPECT_EQ(rows.Send("/rd", kTruckKeys + c.fields), StatusResponse(c.line)) << c.fields;

    EXPECT_EQ(rows.InvoicePlacement(3300), kOfficePlacement) << c.fields;
    EXPECT_EQ(rows.LinePlacement(3301), kOfficeLinePlacement) << c.fields;
    // The rows the request made stay, bare.
    EXPECT_EQ(rows.Rows("Manifest", "BatchKey", 2012), 1) << c.fields;
    EXPECT_EQ(rows.Rows("Tanks", "Tankindex", 301), 1) << c.fields;
    if (c.new_invoice != 0) {
      EXPECT_EQ(rows.InvoicePlacement(c.new_invoice), "2012 100 BROWN100 301") << c.fields;
    }
    if (c.new_trans != 0) {
      // Made from its invoice as the invoice stands.
      EXPECT_EQ(rows.LinePlacement(c.new_trans), "3300 2001 7 JONES07 300") << c.fields;
    }
  }
}

TEST(RejectedDeliveryE2eTest, ARecordedDeliveryMovesTheInvoiceAndTheLineWhereTheTruckSays) {
  PlacedElsewhere rows;
  EXPECT_EQ(
      rows.Send("/rd", std::string(kTruckKeys) + "&Invoice=3300&Trans=3301&Product=71&Pkgs=10"),
      StatusResponse("200 RECORDED"));
  EXPECT_EQ(rows.InvoicePlacement(3300), "2012 100 BROWN100 301");
  EXPECT_EQ(rows.LinePlacement(3301), "3300 2012 100 BROWN100 301");
  EXPECT_EQ(rows.Field("Transactions", "TransKey", 3301, "ProductID").AsString(), "LP");
}

TEST(RejectedDeliveryE2eTest, ANewLineOfAMovedInvoiceTakesTheInvoicesTank) {
  PlacedElsewhere rows;
  // No tank named: the new line is made from the invoice, which keeps its
  // tank; the rest of its placement is the truck's.
  EXPECT_EQ(rows.Send("/rd", "Account=100&Batch=2012&Invoice=3300&Trans=3399&Product=71&Pkgs=10"),
            StatusResponse("200 RECORDED"));
  EXPECT_EQ(rows.InvoicePlacement(3300), "2012 100 BROWN100 300");
  EXPECT_EQ(rows.LinePlacement(3399), "3300 2012 100 BROWN100 300");
}

}  // namespace
}  // namespace portavel::testing
