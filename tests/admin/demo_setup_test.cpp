#include "admin/demo_setup.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <sstream>

#include "account/account_password.h"
#include "admin/demo_data.h"
#include "data/data_set.h"
#include "data/query.h"
#include "support/admin_tool_runner.h"
#include "support/fake_platform.h"
#include "support/temp_store.h"

namespace portavel {
namespace {

using testing::AdminToolRunner;
using testing::TempStore;
using testing::ToolRun;

TEST(DemoSetupTest, DemoPrintsItsLoginsAndNeverRunsTwice) {
  AdminToolRunner tool;
  ToolRun first = tool.Run({"demo"});
  ASSERT_EQ(first.exit_code, 0) << first.err;
  for (const DemoLogin& login : DemoLogins()) {
    EXPECT_NE(first.out.find("  " + login.account_id + "  " + login.password + "  "),
              std::string::npos)
        << first.out;
  }

  ToolRun second = tool.Run({"demo"});
  EXPECT_EQ(second.exit_code, 1);
  EXPECT_EQ(second.err,
            "portavel-db: the store already holds accounts; the demo data is only for an empty "
            "store\n");
  EXPECT_EQ(tool.Dump("Accounts").size(), DemoLogins().size());
}

// The demo as the portal will read it, dated from a fixed clock.
class DemoDataTest : public ::testing::Test {
 protected:
  void SetUp() override {
    temp.store().Execute("UserData",
                         "INSERT INTO Keys (TableName, FieldName, NextNumber) "
                         "VALUES ('Invoices', 'InvoiceKey', 1), ('Accounts', 'AccountIndex', 1)");
    std::ostringstream progress;
    LoadDemoData(temp.store(), platform, progress);
  }

  int64_t Scalar(const std::string& sql) {
    Query query(temp.store(), "UserData", sql);
    query.Open();
    return query.Column(0).AsInteger();
  }

  FakePlatform platform;
  DateTime today = platform.Now().DateOnly();
  TempStore temp;
};

TEST_F(DemoDataTest, AccountsAreAgedConsistentlyWithTheirInvoices) {
  DataSet accounts(temp.store(), "UserData", "Accounts");
  accounts.Open();
  std::set<std::string> past_due, budget, credit;
  for (accounts.First(); !accounts.Eof(); accounts.Next()) {
    std::string id = accounts.FieldByName("AccountID").AsString();
    Money balance = accounts.FieldByName("Balance").AsMoney();
    Money over = accounts.FieldByName("OverThirty").AsMoney() +
                 accounts.FieldByName("OverSixty").AsMoney() +
                 accounts.FieldByName("OverNinety").AsMoney();

    Money owed;
    DataSet invoices(temp.store(), "UserData", "Invoices");
    invoices.AddFilter("Accountkey", accounts.FieldByName("AccountIndex").value());
    invoices.Open();
    for (invoices.First(); !invoices.Eof(); invoices.Next()) {
      owed += invoices.FieldByName("InvTotal").AsMoney() -
              invoices.FieldByName("DiscountAmount").AsMoney() -
              invoices.FieldByName("PaymentTotal").AsMoney();
      int age = today.day() - invoices.FieldByName("InvDate").AsDateTime().day();
      EXPECT_TRUE(age >= 0 && age <= 120) << id << " has an invoice " << age << " days old";
    }
    EXPECT_EQ(balance, owed) << id;
    if (balance > Money()) {
      EXPECT_EQ(accounts.FieldByName("Current").AsMoney() + over, balance) << id;
    }
    if (over > Money() && balance > Money()) past_due.insert(id);
    if (accounts.FieldByName("UseBudget").AsString() == "YES") budget.insert(id);
    if (balance < Money()) credit.insert(id);

    std::string password = accounts.FieldByName("WALPW").AsBytes();
    password.resize(password.find('\0'));
    EXPECT_EQ(StoredWebPassword(password), accounts.FieldByName("WALPW").AsBytes());
  }
  EXPECT_EQ(past_due, std::set<std::string>{"HV1003"});
  EXPECT_EQ(budget, std::set<std::string>{"HV1004"});
  EXPECT_EQ(credit, std::set<std::string>{"HV1005"});
}

TEST_F(DemoDataTest, KeySequencesContinueAfterTheDemoKeys) {
  const std::map<std::string, std::string> kKeyOf = {
      {"Manifest", "BatchKey"},     {"Invoices", "InvoiceKey"},
      {"Transactions", "TransKey"}, {"TransTaxLkUp", "TransTaxLkUpKey"},
      {"Accounts", "AccountIndex"},
  };
  for (const auto& [table, field] : kKeyOf) {
    EXPECT_EQ(Scalar("SELECT NextNumber FROM Keys WHERE TableName = '" + table + "'"),
              Scalar("SELECT MAX(" + field + ") + 1 FROM " + table))
        << table;
  }
  EXPECT_EQ(Scalar("SELECT COUNT(*) FROM Keys WHERE TableName = 'Invoices'"), 1);
  EXPECT_EQ(Scalar("SELECT COUNT(*) FROM scid"), 0);
  EXPECT_GE(Scalar("SELECT COUNT(DISTINCT DeliveryStatus) FROM Tanks "
                   "WHERE DeliveryStatus BETWEEN 1 AND 14"),
            4);
  EXPECT_EQ(Scalar("SELECT COUNT(*) FROM Tanks WHERE RteActive"), 1);
}

// The history's invoices as the posting and pricing code makes them: a
// propane delivery with its sales tax and county fee, the heating oil
// delivery with its hazmat fee among the subtotal, a rental without tax,
// check payments of an earlier invoice's whole total, and the card payment
// numbered from the preferences.
TEST_F(DemoDataTest, HistoryIsPricedAndPostedByThePortalsOwnRules) {
  struct Expected {
    const char* invoice_no;
    const char* inv_type;
    const char* subtotal;
    const char* tax;
    const char* total;
    const char* paid;
    int lines;
  };
  const Expected kInvoices[] = {
      {"20416", "Propane Delivery", "347.88", "22.67", "370.55", "0.00", 3},
      {"20407", "Heating Oil Delivery", "732.30", "46.79", "779.09", "0.00", 4},
      {"20408", "Tank Rental", "65.00", "0.00", "65.00", "0.00", 1},
      {"CHK 3310", "Payment", "0.00", "0.00", "0.00", "779.09", 1},
      {"BUD 6", "Budget Payment", "0.00", "0.00", "0.00", "150.00", 1},
      {"CC 1000", "Online Payment", "0.00", "0.00", "0.00", "100.00", 1},
  };
  for (const Expected& e : kInvoices) {
    Query invoice(temp.store(), "UserData",
                  "SELECT InvType, Subtotal, Taxtotal, InvTotal, PaymentTotal, InvoiceKey "
                  "FROM Invoices WHERE InvoiceNo = :No");
    invoice.SetParam("No", Value::Text(e.invoice_no));
    invoice.Open();
    ASSERT_FALSE(invoice.Eof()) << e.invoice_no;
    EXPECT_EQ(invoice.Column(0).AsString(), e.inv_type) << e.invoice_no;
    EXPECT_EQ(invoice.Column(1).AsMoney().ToFixed(2), e.subtotal) << e.invoice_no;
    EXPECT_EQ(invoice.Column(2).AsMoney().ToFixed(2), e.tax) << e.invoice_no;
    EXPECT_EQ(invoice.Column(3).AsMoney().ToFixed(2), e.total) << e.invoice_no;
    EXPECT_EQ(invoice.Column(4).AsMoney().ToFixed(2), e.paid) << e.invoice_no;
    EXPECT_EQ(Scalar("SELECT COUNT(*) FROM Transactions WHERE Invoicekey = " +
                     invoice.Column(5).AsString()),
              e.lines)
        << e.invoice_no;
  }
  EXPECT_EQ(Scalar("SELECT NextCCNo FROM RemotePrefs"), 1001);
  // Only today's batch is open, holding the ticket unpriced at its keys.
  const DemoTicket& ticket = DemoDeliveryTicket();
  EXPECT_EQ(Scalar("SELECT BatchKey FROM Manifest WHERE Closed = 0"), ticket.batch);
  EXPECT_EQ(
      Scalar("SELECT COUNT(*) FROM Transactions WHERE Invoicekey = " +
             std::to_string(ticket.invoice) + " AND TransKey = " + std::to_string(ticket.trans)),
      1);
  EXPECT_EQ(Scalar("SELECT COUNT(*) FROM Transactions WHERE Posted <> 'Yes'"), 1);
}

}  // namespace
}  // namespace portavel
