#include "payments/payment_posting.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <set>
#include <string>
#include <vector>

#include "data/data_set.h"
#include "data/key_broker.h"
#include "data/store.h"
#include "posting/posting_tables.h"
#include "support/fake_platform.h"
#include "support/forked_processes.h"
#include "support/posting_keys.h"
#include "support/temp_store.h"

namespace portavel {
namespace {

using testing::InsertPostingKeys;
using testing::kFirstBatchKey;
using testing::kFirstInvoiceKey;
using testing::kFirstTransKey;
using testing::NextKeyOf;
using testing::TempStore;

Money M(std::string_view text) {
  return *Money::Parse(text);
}

// Where the charging page stands when it posts: the preferences, the
// paying account and the three posting tables open.
struct PaymentSession {
  PaymentSession(Store& store, Platform& platform)
      : prefs(store, "UserData", "RemotePrefs"),
        account(store, "UserData", "Accounts"),
        tables(store, platform, prefs) {
    prefs.Open();
    account.AddFilter("AccountID", Value::Text("HV1001"), /*case_insensitive=*/true);
    account.Open();
    tables.tblBatch.Open();
    tables.tblInvoice.Open();
    tables.tblTransactions.Open();
  }
  DataSet prefs;
  DataSet account;
  PostingTables tables;
};

class PaymentPostingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    InsertPostingKeys(temp);
    temp.Insert("RemotePrefs", {{"DefaultBankAccount", Value::Text("1010")},
                                {"NextCCNo", Value::Integer(1042)},
                                {"MerchantID", Value::Integer(3)}});
    temp.Insert("Accounts",
                {{"AccountIndex", Value::Integer(314)}, {"AccountID", Value::Text("HV1001")}});
    session = std::make_unique<PaymentSession>(store, platform);
  }

  PendingPayment Post(Money amount) {
    return PostPendingPayment(session->tables, session->prefs, session->account, amount, store,
                              platform);
  }

  // A card batch, and an approved card transaction posted into it.
  void CardBatch(int batch_key, Value merchant, Value closed, int batch_type = 2) {
    temp.Insert("Manifest", {{"BatchKey", Value::Integer(batch_key)},
                             {"BatchType", Value::Integer(batch_type)},
                             {"CcMerchantId", merchant},
                             {"Closed", closed},
                             {"DefaultInvDate", Value::Date(Today())}});
  }
  void ApprovedCharge(int batch_key, DateTime date) {
    temp.Insert("ccTransactions", {{"PayBatchkey", Value::Integer(batch_key)},
                                   {"Approved", Value::Boolean(true)},
                                   {"TransDate", Value::Date(date)}});
  }

  int64_t StoredCounter() {
    DataSet prefs(store, "UserData", "RemotePrefs");
    prefs.Open();
    return prefs.FieldByName("NextCCNo").AsInteger();
  }
  int RowCount(const char* table) {
    DataSet rows(store, "UserData", table);
    rows.Open();
    return rows.RecordCount();
  }

  DateTime Today() { return platform.Now().DateOnly(); }

  TempStore temp;
  Store& store = temp.store();
  FakePlatform platform;
  std::unique_ptr<PaymentSession> session;
};

TEST_F(PaymentPostingTest, APaymentPostsABatchAnInvoiceAndItsPaymentLine) {
  PendingPayment pending = Post(M("45.50"));
  EXPECT_EQ(pending.amount, M("45.50"));
  ASSERT_EQ(pending.invoice_key, kFirstInvoiceKey);

  DataSet& batch = session->tables.tblBatch;
  EXPECT_EQ(RowCount("Manifest"), 1);
  EXPECT_EQ(batch.FieldByName("BatchKey").AsInteger(), kFirstBatchKey);
  EXPECT_EQ(batch.FieldByName("BatchType").AsInteger(), 2);
  EXPECT_EQ(batch.FieldByName("BankKey").AsString(), "1010");
  EXPECT_TRUE(batch.FieldByName("CcMerchantId").IsNull());

  DataSet& invoice = session->tables.tblInvoice;
  EXPECT_EQ(invoice.FieldByName("InvoiceKey").AsInteger(), kFirstInvoiceKey);
  EXPECT_EQ(invoice.FieldByName("InvoiceNo").AsString(), "CC 1042");
  EXPECT_EQ(invoice.FieldByName("AccountID").AsString(), "HV1001");
  EXPECT_EQ(invoice.FieldByName("Accountkey").AsInteger(), 314);
  EXPECT_EQ(invoice.FieldByName("BatchKey").AsInteger(), kFirstBatchKey);
  EXPECT_EQ(invoice.FieldByName("InvType").AsString(), "Online Payment");
  EXPECT_EQ(invoice.FieldByName("PaymentTotal").AsMoney(), M("45.50"));
  EXPECT_EQ(invoice.FieldByName("PayBalance").AsMoney(), M("45.50"));
  EXPECT_EQ(invoice.FieldByName("InvoiceBalance").AsMoney(), M("-45.50"));
  for (const char* zero :
       {"InvTotal", "Subtotal", "Taxtotal", "FeeTotal", "DiscountAmount", "Gallons",
        "TotalQuantity", "TotalDebits", "TotalCredits", "OIBalance"}) {
    EXPECT_FALSE(invoice.FieldByName(zero).IsNull()) << zero;
    EXPECT_EQ(invoice.FieldByName(zero).AsMoney(), Money()) << zero;
  }

  DataSet& line = session->tables.tblTransactions;
  EXPECT_EQ(line.RecordCount(), 1);
  EXPECT_EQ(line.FieldByName("TransKey").AsInteger(), kFirstTransKey);
  EXPECT_EQ(line.FieldByName("PaymentAmount").AsMoney(), M("45.50"));
  EXPECT_EQ(line.FieldByName("InvoiceNo").AsString(), "CC 1042");
  EXPECT_EQ(line.FieldByName("Accountkey").AsInteger(), 314);
  EXPECT_EQ(line.FieldByName("GLInventory").AsString(), "1010");
  EXPECT_EQ(line.FieldByName("ProductID").AsString(), "PAY");

  EXPECT_EQ(StoredCounter(), 1043);
  EXPECT_EQ(session->prefs.FieldByName("NextCCNo").AsInteger(), 1043);
}

TEST_F(PaymentPostingTest, EachPaymentOfTheDayGetsANewBatchUntilOneIsLinkedToTheMerchant) {
  Post(M("10"));
  Post(M("20"));
  EXPECT_EQ(RowCount("Manifest"), 2);
  EXPECT_EQ(session->tables.tblInvoice.FieldByName("InvoiceNo").AsString(), "CC 1043");
  EXPECT_EQ(StoredCounter(), 1044);

  // Today's batch of merchant 3 with an approved charge, but closed.
  CardBatch(88, Value::Integer(3), Value::Integer(1));
  ApprovedCharge(88, Today());
  Post(M("30"));
  EXPECT_EQ(RowCount("Manifest"), 4);
  EXPECT_EQ(session->tables.tblBatch.FieldByName("BatchKey").AsInteger(), kFirstBatchKey + 2);

  // Opened again, it takes the next payment.
  store.Execute("UserData", "UPDATE \"Manifest\" SET \"Closed\" = 0 WHERE \"BatchKey\" = 88");
  PendingPayment pending = Post(M("40"));
  EXPECT_EQ(RowCount("Manifest"), 4);
  EXPECT_EQ(NextKeyOf(store, "Manifest"), kFirstBatchKey + 3);
  EXPECT_EQ(session->tables.tblBatch.FieldByName("BatchKey").AsInteger(), 88);
  EXPECT_EQ(session->tables.tblInvoice.FieldByName("BatchKey").AsInteger(), 88);
  EXPECT_EQ(session->tables.tblInvoice.FieldByName("InvoiceKey").AsInteger(), *pending.invoice_key);
  EXPECT_EQ(session->tables.tblTransactions.FieldByName("BatchKey").AsInteger(), 88);
}

TEST_F(PaymentPostingTest, TodaysCardBatchIsTheLatestOpenOneOfTheMerchant) {
  const DateTime yesterday = Today().AddDays(-1);
  CardBatch(10, Value::Integer(3), Value::Integer(1));  // closed
  ApprovedCharge(10, Today());
  CardBatch(11, Value::Integer(3), Value::Integer(0));  // charged yesterday only
  ApprovedCharge(11, yesterday);
  CardBatch(12, Value::Integer(4), Value::Integer(0));
  ApprovedCharge(12, Today());
  CardBatch(13, Value::Integer(5), Value::Integer(0), /*batch_type=*/1);  // not a card batch
  ApprovedCharge(13, Today());
  CardBatch(14, Value::Integer(6), Value::Null());  // never closed
  ApprovedCharge(14, Today());
  CardBatch(15, Value::Integer(7), Value::Integer(0));
  CardBatch(16, Value::Integer(7), Value::Integer(0));
  CardBatch(17, Value::Integer(7), Value::Integer(1));
  ApprovedCharge(16, Today());
  ApprovedCharge(15, Today());
  ApprovedCharge(16, Today());  // charged into last among the open ones
  ApprovedCharge(17, Today());
  // A declined charge names no batch.
  temp.Insert("ccTransactions", {{"Approved", Value::Boolean(false)},
                                 {"PayTransKey", Value::Integer(-1)},
                                 {"TransDate", Value::Date(Today())},
                                 {"merchantId", Value::Integer(8)}});

  const struct {
    int merchant;
    int batch;
  } cases[] = {{3, -1}, {4, 12}, {5, -1}, {6, 14}, {7, 16}, {8, -1}, {9, -1}};
  for (const auto& c : cases) {
    EXPECT_EQ(FindTodaysCardBatch(store, platform, c.merchant), c.batch) << c.merchant;
  }
  platform.SetNow(platform.Now().AddDays(1));
  EXPECT_EQ(FindTodaysCardBatch(store, platform, 4), -1);
}

TEST_F(PaymentPostingTest, MerchantMinusOneIsThePreferencesMerchant) {
  CardBatch(12, Value::Integer(4), Value::Integer(0));
  ApprovedCharge(12, Today());
  CardBatch(19, Value::Integer(-1), Value::Integer(0));
  ApprovedCharge(19, Today());
  EXPECT_EQ(FindTodaysCardBatch(store, platform, -1), -1);  // merchant 3
  store.Execute("UserData", "UPDATE \"RemotePrefs\" SET \"MerchantID\" = 4");
  EXPECT_EQ(FindTodaysCardBatch(store, platform, -1), 12);
  // Without a merchant in the preferences, -1 is looked for as it is.
  store.Execute("UserData", "UPDATE \"RemotePrefs\" SET \"MerchantID\" = NULL");
  EXPECT_EQ(FindTodaysCardBatch(store, platform, -1), 19);
  store.Execute("UserData", "DELETE FROM \"RemotePrefs\"");
  EXPECT_EQ(FindTodaysCardBatch(store, platform, -1), 19);
}

TEST_F(PaymentPostingTest, ANullCounterCountsAsZero) {
  store.Execute("UserData", "UPDATE \"RemotePrefs\" SET \"NextCCNo\" = NULL");
  Post(M("5"));
  EXPECT_EQ(session->tables.tblInvoice.FieldByName("InvoiceNo").AsString(), "CC 0");
  EXPECT_EQ(StoredCounter(), 1);
}

TEST_F(PaymentPostingTest, AFailedPostingLeavesNothingBehind) {
  // The transaction key cannot be drawn: batch, invoice and counter were
  // already written when the posting fails.
  store.Execute("UserData",
                "UPDATE \"Keys\" SET \"TableName\" = 'Gone' WHERE "
                "\"TableName\" = 'Transactions'");
  EXPECT_THROW(Post(M("45.50")), KeyDrawError);
  EXPECT_EQ(RowCount("Manifest"), 0);
  EXPECT_EQ(RowCount("Invoices"), 0);
  EXPECT_EQ(RowCount("Transactions"), 0);
  EXPECT_EQ(StoredCounter(), 1042);
  EXPECT_EQ(NextKeyOf(store, "Manifest"), kFirstBatchKey);
  EXPECT_EQ(NextKeyOf(store, "Invoices"), kFirstInvoiceKey);
  PaymentSession& s = *session;
  for (DataSet* table : {&s.tables.tblBatch, &s.tables.tblInvoice, &s.tables.tblTransactions}) {
    EXPECT_EQ(table->state(), DataSet::State::kBrowse) << table->table_name();
    EXPECT_TRUE(table->IsEmpty()) << table->table_name();
  }
  EXPECT_EQ(s.prefs.FieldByName("NextCCNo").AsInteger(), 1042);

  // Once the cause is mended the same number is posted.
  store.Execute("UserData",
                "UPDATE \"Keys\" SET \"TableName\" = 'Transactions' WHERE "
                "\"TableName\" = 'Gone'");
  Post(M("45.50"));
  EXPECT_EQ(s.tables.tblInvoice.FieldByName("InvoiceNo").AsString(), "CC 1042");
  EXPECT_EQ(RowCount("Transactions"), 1);
}

TEST_F(PaymentPostingTest, WithoutAPreferencesRowNothingIsPosted) {
  store.Execute("UserData", "DELETE FROM \"RemotePrefs\"");
  EXPECT_THROW(Post(M("45.50")), StoreError);
  EXPECT_EQ(RowCount("Manifest"), 0);
  EXPECT_EQ(RowCount("Invoices"), 0);
}

TEST_F(PaymentPostingTest, InvoiceTotalsSumThePaymentsOfItsLines) {
  temp.Insert("Manifest", {{"BatchKey", Value::Integer(1)}, {"BatchType", Value::Integer(2)}});
  temp.Insert("Invoices", {{"InvoiceKey", Value::Integer(2)},
                           {"BatchKey", Value::Integer(1)},
                           {"InvoiceNo", Value::Text("CC 7")},
                           {"InvTotal", Value::Currency(M("99"))},
                           {"Taxtotal", Value::Currency(M("4"))}});
  for (auto [key, amount] : {std::pair{3, Value::Currency(M("10.25"))},
                             {4, Value::Currency(M("20"))},
                             {5, Value::Null()}}) {
    temp.Insert("Transactions", {{"TransKey", Value::Integer(key)},
                                 {"Invoicekey", Value::Integer(2)},
                                 {"PaymentAmount", amount}});
  }
  PostingTables& tables = session->tables;
  tables.tblBatch.Refresh();
  UpdatePaymentInvoiceTotals(tables);
  EXPECT_EQ(tables.tblInvoice.FieldByName("PaymentTotal").AsMoney(), M("30.25"));
  EXPECT_EQ(tables.tblInvoice.FieldByName("PayBalance").AsMoney(), M("30.25"));
  EXPECT_EQ(tables.tblInvoice.FieldByName("InvoiceBalance").AsMoney(), M("-30.25"));
  EXPECT_EQ(tables.tblInvoice.FieldByName("InvTotal").AsMoney(), Money());
  EXPECT_EQ(tables.tblInvoice.FieldByName("Taxtotal").AsMoney(), Money());

  // An invoice without a number is not a payment invoice: left alone.
  store.Execute("UserData", "UPDATE \"Invoices\" SET \"InvoiceNo\" = NULL, \"InvTotal\" = 990000");
  tables.tblInvoice.Refresh();
  UpdatePaymentInvoiceTotals(tables);
  tables.tblInvoice.Refresh();
  EXPECT_EQ(tables.tblInvoice.FieldByName("InvTotal").AsMoney(), M("99"));
}

TEST_F(PaymentPostingTest, RemovalTakesOutTheInvoiceItsLinesAndTheirTaxLinks) {
  PendingPayment pending = Post(M("45.50"));
  temp.Insert("TransTaxLkUp", {{"TransTaxLkUpKey", Value::Integer(1)},
                               {"TransKey", Value::Integer(kFirstTransKey)}});
  temp.Insert("TransTaxLkUp",
              {{"TransTaxLkUpKey", Value::Integer(2)}, {"TransKey", Value::Integer(777)}});
  temp.Insert("ccTransactions", {{"Approved", Value::Boolean(false)}});
  // The store refuses to delete a line that still has tax links.
  store.Execute(
      "UserData",
      "CREATE TEMP TRIGGER links_first BEFORE DELETE ON \"Transactions\" "
      "WHEN EXISTS (SELECT 1 FROM \"TransTaxLkUp\" WHERE \"TransKey\" = OLD.\"TransKey\") "
      "BEGIN SELECT RAISE(ABORT, 'tax links outlive their line'); END");

  RemovePendingPayment(session->tables, PendingPayment{M("45.50"), std::nullopt}, store);
  RemovePendingPayment(session->tables, PendingPayment{M("45.50"), 999}, store);
  EXPECT_EQ(RowCount("Invoices"), 1);

  RemovePendingPayment(session->tables, pending, store);
  EXPECT_EQ(RowCount("Invoices"), 0);
  EXPECT_EQ(RowCount("Transactions"), 0);
  EXPECT_EQ(RowCount("TransTaxLkUp"), 1);  // another line's link
  EXPECT_EQ(RowCount("Manifest"), 1);
  EXPECT_EQ(RowCount("ccTransactions"), 1);
  EXPECT_EQ(StoredCounter(), 1043);
  EXPECT_TRUE(session->tables.tblInvoice.IsEmpty());
}

TEST_F(PaymentPostingTest, AFailedRemovalRemovesNothing) {
  PendingPayment pending = Post(M("45.50"));
  temp.Insert("TransTaxLkUp", {{"TransTaxLkUpKey", Value::Integer(1)},
                               {"TransKey", Value::Integer(kFirstTransKey)}});
  store.Execute("UserData",
                "CREATE TEMP TRIGGER keep_invoices BEFORE DELETE ON \"Invoices\" "
                "BEGIN SELECT RAISE(ABORT, 'invoice locked'); END");
  EXPECT_THROW(RemovePendingPayment(session->tables, pending, store), StoreError);
  EXPECT_EQ(RowCount("Invoices"), 1);
  EXPECT_EQ(RowCount("Transactions"), 1);
  EXPECT_EQ(RowCount("TransTaxLkUp"), 1);
  EXPECT_EQ(session->tables.tblTransactions.RecordCount(), 1);
}

// Request processes post payments at the same moment: every invoice gets a
// number of its own and the counter loses no step.
TEST_F(PaymentPostingTest, ConcurrentPaymentsNeverShareAnInvoiceNumber) {
  constexpr int kProcesses = 8;
  constexpr int kPaymentsEach = 10;
  constexpr int kTotal = kProcesses * kPaymentsEach;
  std::vector<int> failed = testing::RunInForkedProcesses(kProcesses, [&](int) {
    Store own(temp.paths());  // a connection of this process's own
    PaymentSession child(own, platform);
    for (int i = 0; i < kPaymentsEach; ++i) {
      PostPendingPayment(child.tables, child.prefs, child.account, M("12.50"), own, platform);
    }
    return true;
  });
  EXPECT_TRUE(failed.empty());

  std::set<std::string> numbers;
  std::set<std::string> expected;
  for (int n = 1042; n < 1042 + kTotal; ++n) expected.insert("CC " + std::to_string(n));
  DataSet invoices(store, "UserData", "Invoices");
  invoices.Open();
  DataSet lines(store, "UserData", "Transactions");
  lines.SetIndexName("InvKey");
  lines.SetMasterLink(&invoices, {"Invoicekey"}, {"InvoiceKey"});
  lines.Open();
  for (invoices.First(); !invoices.Eof(); invoices.Next()) {
    const std::string number = invoices.FieldByName("InvoiceNo").AsString();
    numbers.insert(number);
    EXPECT_EQ(invoices.FieldByName("PaymentTotal").AsMoney(), M("12.50")) << number;
    ASSERT_EQ(lines.RecordCount(), 1) << number;
    EXPECT_EQ(lines.FieldByName("InvoiceNo").AsString(), number);
  }
  EXPECT_EQ(invoices.RecordCount(), kTotal);
  EXPECT_EQ(numbers, expected);
  EXPECT_EQ(StoredCounter(), 1042 + kTotal);
  EXPECT_EQ(RowCount("Transactions"), kTotal);
}

}  // namespace
}  // namespace portavel
