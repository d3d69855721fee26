#include "posting/posting_tables.h"

#include <gtest/gtest.h>

#include <optional>
#include <stdexcept>
#include <string>

#include "data/key_broker.h"
#include "data/store.h"
#include "support/fake_platform.h"
#include "support/posting_keys.h"
#include "support/temp_store.h"

namespace portavel {
namespace {

using testing::InsertPostingKeys;
using testing::kFirstBatchKey;
using testing::kFirstInvoiceKey;
using testing::kFirstTaxLinkKey;
using testing::kFirstTransKey;
using testing::NextKeyOf;
using testing::TempStore;

DateTime D(int y, int m, int d) {
  return *DateTime::FromCivil(y, m, d);
}
Money M(std::string_view text) {
  return *Money::Parse(text);
}
std::optional<int64_t> Maybe(const Field& field) {
  if (field.IsNull()) return std::nullopt;
  return field.AsInteger();
}

class PostingTablesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    InsertPostingKeys(temp);
    temp.Insert("RemotePrefs", {{"DefaultBankAccount", Value::Text("1010")}});
    prefs.Open();
    platform.SetNow(*DateTime::FromCivil(2019, 7, 7, 14, 30, 15));
  }

  // A batch and an invoice of it in the store, with both tables on them.
  void OpenBatchAndInvoice(int64_t batch_type, Value tank_key = Value::Null()) {
    temp.Insert("Manifest", {{"BatchKey", Value::Integer(42)},
                             {"BatchType", Value::Integer(batch_type)},
                             {"BankKey", Value::Text("1020")},
                             {"Period", Value::Text("1906")},
                             {"DefaultInvDate", Value::Date(D(2019, 6, 30))}});
    temp.Insert("Invoices", {{"InvoiceKey", Value::Integer(77)},
                             {"BatchKey", Value::Integer(42)},
                             {"InvoiceNo", Value::Text("INV 77")},
                             {"InvDate", Value::Date(D(2019, 6, 28))},
                             {"AccountID", Value::Text("HV1001")},
                             {"Accountkey", Value::Integer(314)},
                             {"TankKey", tank_key}});
    tables.tblBatch.Open();
    tables.tblInvoice.Open();
    ASSERT_EQ(tables.tblInvoice.FieldByName("InvoiceKey").AsInteger(), 77);
  }

  Field& Batch(const char* name) { return tables.tblBatch.FieldByName(name); }
  Field& Invoice(const char* name) { return tables.tblInvoice.FieldByName(name); }
  Field& Trans(const char* name) { return tables.tblTransactions.FieldByName(name); }
  Field& Alt(const char* name) { return tables.tblAltTransactions.FieldByName(name); }

  TempStore temp;
  Store& store = temp.store();
  FakePlatform platform;
  DataSet prefs{store, "UserData", "RemotePrefs"};
  PostingTables tables{store, platform, prefs};
};

TEST_F(PostingTablesTest, ANewBatchIsAPaymentBatchOfToday) {
  tables.tblBatch.Open();
  tables.tblBatch.Insert();
  tables.tblBatch.Post();
  EXPECT_EQ(Batch("BatchKey").AsInteger(), kFirstBatchKey);
  EXPECT_EQ(Batch("BatchType").AsInteger(), 2);
  EXPECT_EQ(Batch("DefInvType").AsString(), "Payment");
  EXPECT_EQ(Batch("BankKey").AsString(), "1010");
  EXPECT_FALSE(Batch("Closed").IsNull());
  EXPECT_EQ(Batch("Closed").AsInteger(), 0);
  EXPECT_EQ(Batch("Period").AsString(), "1907");
  EXPECT_EQ(Batch("Date").AsDateTime(), D(2019, 7, 7));
  EXPECT_EQ(Batch("DefaultInvDate").AsDateTime(), D(2019, 7, 7));
  EXPECT_TRUE(Batch("CcMerchantId").IsNull());
  EXPECT_EQ(NextKeyOf(store, "Manifest"), kFirstBatchKey + 1);
}

TEST_F(PostingTablesTest, ANewInvoiceTakesItsDateAndTypeFromTheBatch) {
  OpenBatchAndInvoice(6);
  tables.tblInvoice.Insert();
  EXPECT_EQ(Invoice("InvoiceKey").AsInteger(), kFirstInvoiceKey);
  EXPECT_EQ(Invoice("BatchType").AsInteger(), 6);
  EXPECT_EQ(Invoice("InvDate").AsDateTime(), D(2019, 6, 30));  // not today
  EXPECT_EQ(Invoice("BatchKey").AsInteger(), 42);
  EXPECT_EQ(Invoice("InvType").AsString(), "Online Payment");
  EXPECT_TRUE(Invoice("InvoiceNo").IsNull());
}

TEST_F(PostingTablesTest, ANewTransactionIsAPaymentLineOfTheCurrentInvoice) {
  OpenBatchAndInvoice(2);
  tables.tblTransactions.Open();
  tables.tblTransactions.Insert();
  tables.tblTransactions.Post();
  EXPECT_EQ(Trans("TransKey").AsInteger(), kFirstTransKey);
  EXPECT_EQ(Trans("Time").AsDateTime(), *DateTime::FromCivil(2019, 7, 7, 14, 30, 15));
  EXPECT_EQ(Trans("Posted").AsString(), "No");
  EXPECT_EQ(Trans("Period").AsString(), "1906");
  EXPECT_EQ(Trans("Invoicekey").AsInteger(), 77);
  EXPECT_EQ(Trans("BatchKey").AsInteger(), 42);
  EXPECT_EQ(Trans("InvoiceNo").AsString(), "INV 77");
  EXPECT_EQ(Trans("InvDate").AsDateTime(), D(2019, 6, 28));
  EXPECT_EQ(Trans("AccountID").AsString(), "HV1001");
  EXPECT_EQ(Trans("Accountkey").AsInteger(), 314);
  for (const char* zero : {"TranPrice", "TransTotal", "ProductCost", "WksTillReturn",
                           "ProductTypeKey", "ProductKey", "TransPOS"}) {
    EXPECT_FALSE(Trans(zero).IsNull()) << zero;
    EXPECT_EQ(Trans(zero).AsInteger(), 0) << zero;
  }
  EXPECT_EQ(Trans("GLType").AsInteger(), 1);
  EXPECT_EQ(Trans("TransType").AsInteger(), 2);
  EXPECT_EQ(Trans("PaymentType").AsInteger(), 2);
  EXPECT_EQ(Trans("ProductName").AsString(), "Online Payment");
  EXPECT_EQ(Trans("ProductID").AsString(), "PAY");
  EXPECT_EQ(Trans("ProductGroupID").AsInteger(), 19);
  EXPECT_EQ(Trans("Pkgs").AsMoney(), M("1"));
  EXPECT_EQ(Trans("Quantity").AsMoney(), M("1"));
  EXPECT_EQ(Trans("GLInventory").AsString(), "1020");  // the batch's bank
  for (const char* empty : {"GLSales", "GLExpense", "GLCOGS"}) {
    EXPECT_EQ(Trans(empty).AsString(), "") << empty;
  }
  EXPECT_TRUE(Trans("PaymentAmount").IsNull());
  EXPECT_TRUE(Trans("TankIndex").IsNull());
}

TEST_F(PostingTablesTest, AnOtherLineTakesItsTypesFromTheBatchType) {
  const struct {
    int batch_type;
    std::optional<int64_t> trans_type;
    std::optional<int64_t> gl_type;
  } cases[] = {
      {2, std::nullopt, 1},
      {1, 1, 1},
      {3, 3, 1},
      {4, 4, 1},
      {6, std::nullopt, 1},
      {9, 10, std::nullopt},
      {20, std::nullopt, std::nullopt},
  };
  OpenBatchAndInvoice(2);
  tables.tblAltTransactions.Open();
  for (const auto& c : cases) {
    tables.tblBatch.Edit();
    Batch("BatchType").SetInteger(c.batch_type);
    tables.tblBatch.Post();
    tables.tblAltTransactions.Insert();
    EXPECT_EQ(Maybe(Alt("TransType")), c.trans_type) << c.batch_type;
    EXPECT_EQ(Maybe(Alt("GLType")), c.gl_type) << c.batch_type;
    tables.tblAltTransactions.Cancel();
  }
  tables.tblAltTransactions.Insert();
  EXPECT_EQ(Alt("Posted").AsString(), "No");
  EXPECT_EQ(Alt("Period").AsString(), "1906");
  EXPECT_EQ(Alt("Invoicekey").AsInteger(), 77);
  EXPECT_EQ(Alt("InvoiceNo").AsString(), "INV 77");
  EXPECT_FALSE(Alt("TranPrice").IsNull());
  EXPECT_TRUE(Alt("ProductID").IsNull());  // not a payment line
  EXPECT_TRUE(Alt("PaymentType").IsNull());
  EXPECT_TRUE(Alt("VisibleDescription").IsNull());
  // Every insert drew a key, cancelled or not.
  EXPECT_EQ(Alt("TransKey").AsInteger(), kFirstTransKey + 7);
}

TEST_F(PostingTablesTest, ACancelledInsertStillConsumesItsKey) {
  tables.tblBatch.Open();
  tables.tblBatch.Insert();
  tables.tblBatch.Cancel();
  tables.tblBatch.Insert();
  tables.tblBatch.Post();
  EXPECT_EQ(tables.tblBatch.RecordCount(), 1);
  EXPECT_EQ(Batch("BatchKey").AsInteger(), kFirstBatchKey + 1);
}

TEST_F(PostingTablesTest, AnInvoiceNeedsABatchTypeAndADefaultDate) {
  temp.Insert("Manifest",
              {{"BatchKey", Value::Integer(1)}, {"DefaultInvDate", Value::Date(D(2019, 7, 1))}});
  temp.Insert("Manifest", {{"BatchKey", Value::Integer(2)}, {"BatchType", Value::Integer(2)}});
  tables.tblBatch.Open();
  tables.tblInvoice.Open();
  for (int batch_key : {1, 2}) {
    ASSERT_TRUE(tables.tblBatch.Locate({{"BatchKey", Value::Integer(batch_key)}}));
    EXPECT_THROW(tables.tblInvoice.Insert(), StoreError) << batch_key;
    // The insert is abandoned: nothing is left to be posted by a later move.
    EXPECT_EQ(tables.tblInvoice.state(), DataSet::State::kBrowse) << batch_key;
    tables.tblInvoice.First();
    EXPECT_TRUE(tables.tblInvoice.IsEmpty()) << batch_key;
  }
  EXPECT_EQ(NextKeyOf(store, "Invoices"), kFirstInvoiceKey + 2);
}

TEST_F(PostingTablesTest, AFailedKeyDrawAbandonsTheInsert) {
  store.Execute("UserData", "DELETE FROM \"Keys\" WHERE \"TableName\" = 'Manifest'");
  tables.tblBatch.Open();
  EXPECT_THROW(tables.tblBatch.Insert(), KeyDrawError);
  EXPECT_EQ(tables.tblBatch.state(), DataSet::State::kBrowse);
  tables.tblBatch.Refresh();
  EXPECT_TRUE(tables.tblBatch.IsEmpty());
}

TEST_F(PostingTablesTest, TheRemoteRecordCopiesOnlyTheInvoiceLinks) {
  OpenBatchAndInvoice(1);
  DataSet& trans = tables.tblTransactions;
  trans.Open();
  int64_t endpoint_key = 123456;
  for (const Value& tank : {Value::Null(), Value::Integer(3150)}) {
    SCOPED_TRACE(tank.AsString());
    tables.tblInvoice.Edit();
    Invoice("TankKey").Set(tank);
    tables.tblInvoice.Post();
    {
      ScopedRemoteTransactionRecord remote(tables);
      trans.Insert();
      EXPECT_EQ(Trans("Invoicekey").AsInteger(), 77);
      EXPECT_EQ(Trans("BatchKey").AsInteger(), 42);
      EXPECT_EQ(Trans("AccountID").AsString(), "HV1001");
      EXPECT_EQ(Trans("Accountkey").AsInteger(), 314);
      EXPECT_EQ(Trans("TankIndex").value(), tank);
      for (const char* untouched : {"TransKey", "Time", "Posted", "Period", "InvoiceNo",
                                    "TransType", "PaymentType", "ProductID", "GLInventory"}) {
        EXPECT_TRUE(Trans(untouched).IsNull()) << untouched;
      }
      Trans("TransKey").SetInteger(endpoint_key++);  // the endpoint sets its own key
      trans.Post();
    }
    EXPECT_EQ(NextKeyOf(store, "Transactions"), kFirstTransKey);
  }
  trans.Insert();  // the payment defaults are back
  EXPECT_EQ(Trans("TransKey").AsInteger(), kFirstTransKey);
  EXPECT_EQ(Trans("ProductID").AsString(), "PAY");
  trans.Cancel();
  EXPECT_EQ(trans.RecordCount(), 2);
}

TEST_F(PostingTablesTest, SwitchedOffDefaultsComeBackAfterAFailure) {
  tables.tblBatch.Open();
  try {
    ScopedNewRecordOff off(tables, tables.tblBatch);
    tables.tblBatch.Insert();
    EXPECT_TRUE(Batch("BatchKey").IsNull());
    EXPECT_TRUE(Batch("BatchType").IsNull());
    Batch("BatchKey").SetInteger(37416);  // the truck side's key
    tables.tblBatch.Post();
    throw std::runtime_error("a later step failed");
  } catch (const std::runtime_error&) {
  }
  EXPECT_EQ(NextKeyOf(store, "Manifest"), kFirstBatchKey);
  tables.tblBatch.Insert();
  EXPECT_EQ(Batch("BatchKey").AsInteger(), kFirstBatchKey);
  EXPECT_EQ(Batch("BatchType").AsInteger(), 2);
  tables.tblBatch.Post();
  EXPECT_EQ(tables.tblBatch.RecordCount(), 2);
}

TEST_F(PostingTablesTest, SwitchesNestAndPutBackWhatWasThere) {
  OpenBatchAndInvoice(2);
  DataSet& trans = tables.tblTransactions;
  trans.Open();
  {
    ScopedRemoteTransactionRecord remote(tables);
    {
      ScopedNewRecordOff off(tables, trans);
      trans.Insert();
      EXPECT_TRUE(trans.FieldByName("Invoicekey").IsNull());
      trans.Cancel();
    }
    trans.Insert();
    EXPECT_EQ(trans.FieldByName("Invoicekey").AsInteger(), 77);
    EXPECT_TRUE(trans.FieldByName("TransKey").IsNull());
    trans.Cancel();
  }
  trans.Insert();
  EXPECT_EQ(trans.FieldByName("TransKey").AsInteger(), kFirstTransKey);
  trans.Cancel();
  EXPECT_THROW(ScopedNewRecordOff(tables, prefs), std::invalid_argument);
}

TEST_F(PostingTablesTest, ANewTaxLinkBelongsToTheCurrentTransaction) {
  OpenBatchAndInvoice(2);
  temp.Insert("Transactions",
              {{"TransKey", Value::Integer(901)}, {"Invoicekey", Value::Integer(77)}});
  tables.tblTransactions.Open();
  tables.tblTransTaxLkUp.Open();
  tables.tblTransTaxLkUp.Insert();
  EXPECT_EQ(tables.tblTransTaxLkUp.FieldByName("TransTaxLkUpKey").AsInteger(), kFirstTaxLinkKey);
  EXPECT_EQ(tables.tblTransTaxLkUp.FieldByName("TransKey").AsInteger(), 901);
  tables.tblTransTaxLkUp.Post();
  EXPECT_EQ(tables.tblTransTaxLkUp.RecordCount(), 1);
}

TEST_F(PostingTablesTest, DeletingATransactionTakesItsTaxLinksUnlessSwitchedOff) {
  OpenBatchAndInvoice(2);
  for (int trans_key : {901, 902}) {
    temp.Insert("Transactions",
                {{"TransKey", Value::Integer(trans_key)}, {"Invoicekey", Value::Integer(77)}});
  }
  for (auto [link, trans_key] : {std::pair{1, 901}, {2, 901}, {3, 902}, {4, 999}}) {
    temp.Insert("TransTaxLkUp", {{"TransTaxLkUpKey", Value::Integer(link)},
                                 {"TransKey", Value::Integer(trans_key)}});
  }
  auto links = [this] {
    DataSet all(store, "UserData", "TransTaxLkUp");
    all.Open();
    std::string keys;
    for (all.First(); !all.Eof(); all.Next()) {
      keys += std::to_string(all.FieldByName("TransTaxLkUpKey").AsInteger());
    }
    return keys;
  };
  DataSet& trans = tables.tblTransactions;
  trans.Open();  // tblTransTaxLkUp stays closed: the handler opens it for itself
  ASSERT_TRUE(trans.Locate({{"TransKey", Value::Integer(901)}}));
  trans.Delete();
  EXPECT_EQ(links(), "34");
  EXPECT_FALSE(tables.tblTransTaxLkUp.Active());
  {
    ScopedBeforeDeleteOff off(tables);
    ASSERT_TRUE(trans.Locate({{"TransKey", Value::Integer(902)}}));
    trans.Delete();
  }
  EXPECT_EQ(links(), "34");
  EXPECT_TRUE(trans.IsEmpty());
}

TEST_F(PostingTablesTest, WithoutItsMasterLinkADetailShowsEveryRowUntilTheLinkIsBack) {
  OpenBatchAndInvoice(4);
  temp.Insert("Invoices", {{"InvoiceKey", Value::Integer(78)}, {"BatchKey", Value::Integer(43)}});
  DataSet& invoices = tables.tblInvoice;
  {
    ScopedMasterLinkOff any_batch(tables, invoices);
    EXPECT_EQ(invoices.RecordCount(), 2);
    ASSERT_TRUE(invoices.Locate({{"InvoiceKey", Value::Integer(78)}}));
    invoices.Edit();
    Invoice("BatchKey").SetInteger(42);
    invoices.Post();
    // An edit left pending is not carried over.
    invoices.Edit();
    Invoice("InvoiceNo").SetString("not kept");
  }
  // Back on batch 42's invoices, standing on the one just moved there.
  EXPECT_EQ(invoices.RecordCount(), 2);
  EXPECT_EQ(Invoice("InvoiceKey").AsInteger(), 78);
  EXPECT_EQ(invoices.state(), DataSet::State::kBrowse);
  EXPECT_TRUE(Invoice("InvoiceNo").IsNull());
  EXPECT_THROW(ScopedMasterLinkOff(tables, tables.tblBatch), std::invalid_argument);
}

}  // namespace
}  // namespace portavel
