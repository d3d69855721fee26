#include "data/store_transaction.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "data/data_set.h"
#include "data/key_broker.h"
#include "data/store.h"
#include "support/fake_platform.h"
#include "support/temp_store.h"

namespace portavel {
namespace {

using testing::TempStore;

class StoreTransactionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    temp.Insert("Keys", {{"TableName", Value::Text("Invoices")},
                         {"FieldName", Value::Text("InvoiceKey")},
                         {"NextNumber", Value::Integer(100)}});
  }

  // A key draw and a posted row, the two kinds of write a posting makes.
  void DrawAndPost() {
    int32_t key = GetNextKey(store, platform, "Invoices", "InvoiceKey");
    DataSet invoices(store, "UserData", "Invoices");
    invoices.Open();
    invoices.Append();
    invoices.FieldByName("InvoiceKey").SetInteger(key);
    invoices.Post();
  }

  int InvoiceCount() {
    DataSet invoices(store, "UserData", "Invoices");
    invoices.Open();
    return invoices.RecordCount();
  }

  int64_t NextInvoiceKey() {
    DataSet keys(store, "UserData", "Keys");
    keys.Open();
    return keys.FieldByName("NextNumber").AsInteger();
  }

  TempStore temp;
  Store& store = temp.store();
  FakePlatform platform;
};

TEST_F(StoreTransactionTest, CommittedWritesLast) {
  {
    StoreTransaction transaction(store, "userdata");
    DrawAndPost();
    transaction.Commit();
    EXPECT_TRUE(transaction.committed());
  }
  EXPECT_EQ(InvoiceCount(), 1);
  EXPECT_EQ(NextInvoiceKey(), 101);
}

TEST_F(StoreTransactionTest, KeyDrawsAndPostsAreUndoneWithoutCommit) {
  try {
    StoreTransaction transaction(store, "UserData");
    DrawAndPost();
    DrawAndPost();
    throw std::runtime_error("failed before the commit");
  } catch (const std::runtime_error&) {
  }
  EXPECT_EQ(InvoiceCount(), 0);
  EXPECT_EQ(NextInvoiceKey(), 100);
  // The connection is usable again, outside any transaction.
  DrawAndPost();
  EXPECT_EQ(InvoiceCount(), 1);
}

TEST_F(StoreTransactionTest, AnInnerTransactionIsPartOfTheOuterOne) {
  {
    StoreTransaction outer(store, "UserData");
    DrawAndPost();
    {
      StoreTransaction rolled_back(store, "UserData");
      DrawAndPost();
    }
    EXPECT_EQ(InvoiceCount(), 1);
    {
      StoreTransaction kept(store, "UserData");
      DrawAndPost();
      kept.Commit();
    }
    EXPECT_EQ(InvoiceCount(), 2);
    // Without the outer commit the inner one is undone too.
  }
  EXPECT_EQ(InvoiceCount(), 0);
  EXPECT_EQ(NextInvoiceKey(), 100);
}

TEST_F(StoreTransactionTest, NoOtherConnectionWritesWhileItIsOpen) {
  Store other(temp.paths());
  other.Connection("UserData").SetWriteWait(0);  // fail at once instead of waiting
  {
    StoreTransaction transaction(store, "UserData");
    EXPECT_THROW(StoreTransaction(other, "UserData"), StoreError);
    EXPECT_THROW(GetNextKey(other, platform, "Invoices", "InvoiceKey"), StoreError);
    // Readers still see the state before the transaction.
    DrawAndPost();
    DataSet invoices(other, "UserData", "Invoices");
    invoices.Open();
    EXPECT_EQ(invoices.RecordCount(), 0);
    transaction.Commit();
  }
  StoreTransaction after(other, "UserData");
  EXPECT_EQ(GetNextKey(other, platform, "Invoices", "InvoiceKey"), 101);
  after.Commit();
}

TEST_F(StoreTransactionTest, CommitIsAllowedOnce) {
  StoreTransaction transaction(store, "UserData");
  transaction.Commit();
  EXPECT_THROW(transaction.Commit(), StoreError);
}

}  // namespace
}  // namespace portavel
