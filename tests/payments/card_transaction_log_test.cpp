#include "payments/card_transaction_log.h"

#include <gtest/gtest.h>

#include <string>

#include "data/data_set.h"
#include "data/key_broker.h"
#include "data/store.h"
#include "support/fake_platform.h"
#include "support/posting_keys.h"
#include "support/temp_store.h"

namespace portavel {
namespace {

using testing::InsertPostingKeys;
using testing::kFirstCardTransKey;
using testing::NextKeyOf;
using testing::TempStore;

Money M(std::string_view text) {
  return *Money::Parse(text);
}

class CardTransactionLogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    InsertPostingKeys(temp);
    platform.SetNow(*DateTime::FromCivil(2026, 12, 10, 14, 5, 9, 731));
    rows.Open();
  }

  CardLogRow Entry(bool approved) {
    CardLogRow row;
    row.account_key = 314;
    row.message = approved ? "Approved" : "Declined";
    row.response = approved ? "AUTH 0471" : "05";
    row.approved = approved;
    row.amount = M("45.50");
    row.trans_key = 90211;
    row.batch_key = 88;
    row.merchant_id = 2;
    return row;
  }
  CardLogRow Xml(CardLogRow row) {
    row.shape = CardLogShape::kXml;
    row.card_number = "4111111111111111";
    row.request_kind = "SALE";
    row.token = "tok-8842";
    row.transaction_id = "TX-0001";
    return row;
  }
  // A row under the next key, at the platform's time.
  void Log(CardLogRow row, int64_t pn_ref = 0) {
    row.cc_trans_key = NewCardLogKey(store, platform);
    row.when = platform.Now();
    row.pn_ref = pn_ref;
    InsertCardLogRow(store, row);
  }

  // Stands on the last row logged.
  Field& Logged(const char* name) {
    rows.Refresh();
    rows.Last();
    return rows.FieldByName(name);
  }

  TempStore temp;
  Store& store = temp.store();
  FakePlatform platform;
  DataSet rows{store, "UserData", "ccTransactions"};
};

TEST_F(CardTransactionLogTest, AnApprovedFormPostChargeIsLoggedWhole) {
  Log(Entry(true), 7712345);
  EXPECT_EQ(Logged("CCTransKey").AsInteger(), kFirstCardTransKey);
  EXPECT_EQ(Logged("AccountKey").AsInteger(), 314);
  EXPECT_EQ(Logged("RespMsg").AsString(), "Approved");
  EXPECT_EQ(Logged("PayBatchkey").AsInteger(), 88);
  EXPECT_FALSE(Logged("Approved").IsNull());
  EXPECT_TRUE(Logged("Approved").AsBoolean());
  EXPECT_EQ(Logged("PayTransKey").AsInteger(), 90211);
  EXPECT_EQ(Logged("TransAmount").AsMoney(), M("45.50"));
  EXPECT_EQ(Logged("TransDate").AsDateTime(), *DateTime::FromCivil(2026, 12, 10));
  // The time to the second, as the locale's long time shows it.
  EXPECT_EQ(Logged("TransTime").AsDateTime(), DateTime(0, (14 * 3600 + 5 * 60 + 9) * 1000));
  EXPECT_EQ(Logged("Response").AsString(), "AUTH 0471");
  EXPECT_EQ(Logged("PNRef").AsInteger(), 7712345);
  EXPECT_EQ(Logged("merchantId").AsInteger(), 2);
  for (const char* xml_only : {"TransactionID", "Token", "TransType", "CCNumLast4"}) {
    EXPECT_TRUE(Logged(xml_only).IsNull()) << xml_only;
  }
}

TEST_F(CardTransactionLogTest, ADeclinedChargeNamesNeitherBatchNorLine) {
  Log(Entry(false), 0);
  EXPECT_FALSE(Logged("Approved").IsNull());
  EXPECT_FALSE(Logged("Approved").AsBoolean());
  EXPECT_EQ(Logged("PayTransKey").AsInteger(), -1);
  EXPECT_TRUE(Logged("PayBatchkey").IsNull());
  EXPECT_EQ(Logged("TransAmount").AsMoney(), M("45.50"));
  EXPECT_EQ(Logged("PNRef").AsInteger(), 0);

  Log(Xml(Entry(false)));
  EXPECT_EQ(Logged("PayTransKey").AsInteger(), -1);
  EXPECT_TRUE(Logged("PayBatchkey").IsNull());
  EXPECT_TRUE(Logged("CCNumLast4").IsNull());
  EXPECT_EQ(Logged("TransactionID").AsString(), "TX-0001");
  EXPECT_EQ(Logged("Token").AsString(), "tok-8842");
  EXPECT_EQ(Logged("TransType").AsString(), "SALE");
  EXPECT_TRUE(Logged("PNRef").IsNull());
}

TEST_F(CardTransactionLogTest, AnApprovedXmlChargeKeepsOnlyTheMaskedCardNumber) {
  Log(Xml(Entry(true)));
  EXPECT_EQ(Logged("CCNumLast4").AsString(), "************1111");
  EXPECT_EQ(Logged("PayBatchkey").AsInteger(), 88);
  EXPECT_EQ(Logged("PayTransKey").AsInteger(), 90211);
  EXPECT_EQ(Logged("TransactionID").AsString(), "TX-0001");
  EXPECT_EQ(Logged("merchantId").AsInteger(), 2);
  EXPECT_TRUE(Logged("PNRef").IsNull());
}

TEST_F(CardTransactionLogTest, GatewayTextIsStoredAsItCame) {
  CardLogRow entry = Xml(Entry(false));
  entry.message = "Card holder's bank said 'no'); DROP TABLE ccTransactions; --";
  entry.response = "";
  entry.token = "O'Brien";
  Log(entry);
  EXPECT_EQ(Logged("RespMsg").AsString(), entry.message);
  EXPECT_EQ(Logged("Token").AsString(), "O'Brien");
  EXPECT_EQ(Logged("Response").AsString(), "");
  EXPECT_EQ(rows.RecordCount(), 1);
}

TEST_F(CardTransactionLogTest, EveryRowTakesTheNextKey) {
  Log(Entry(true), 1);
  Log(Xml(Entry(false)));
  rows.Refresh();
  rows.First();
  EXPECT_EQ(rows.FieldByName("CCTransKey").AsInteger(), kFirstCardTransKey);
  rows.Next();
  EXPECT_EQ(rows.FieldByName("CCTransKey").AsInteger(), kFirstCardTransKey + 1);
  EXPECT_EQ(NextKeyOf(store, "ccTransactions"), kFirstCardTransKey + 2);
}

// A row reserved before the charge is completed in place: same key, and
// nothing of the reserved values left where the answer has none.
TEST_F(CardTransactionLogTest, ACompletedRowKeepsItsKeyAndOnlyTheAnswer) {
  CardLogRow reserved = Entry(false);
  reserved.response = "NO ANSWER";
  reserved.pn_ref = -97;
  Log(reserved, -97);
  CardLogRow answered = Xml(Entry(true));
  answered.cc_trans_key = kFirstCardTransKey;
  answered.when = platform.Now();
  EXPECT_TRUE(UpdateCardLogRow(store, answered));
  rows.Refresh();
  EXPECT_EQ(rows.RecordCount(), 1);
  EXPECT_EQ(Logged("CCTransKey").AsInteger(), kFirstCardTransKey);
  EXPECT_EQ(Logged("Response").AsString(), "AUTH 0471");
  EXPECT_TRUE(Logged("PNRef").IsNull());
  EXPECT_EQ(Logged("CCNumLast4").AsString(), "************1111");
  answered.cc_trans_key = kFirstCardTransKey + 50;
  EXPECT_FALSE(UpdateCardLogRow(store, answered)) << "no row has that key";
}

TEST_F(CardTransactionLogTest, AFailedInsertThrows) {
  rows.Close();
  store.Execute("UserData", "DROP TABLE \"ccTransactions\"");
  EXPECT_THROW(Log(Entry(true), 1), StoreError);
  store.Execute("UserData", "DELETE FROM \"Keys\" WHERE \"TableName\" = 'ccTransactions'");
  EXPECT_THROW(NewCardLogKey(store, platform), KeyDrawError);
}

TEST(MaskCardNumberTest, AllButTheLastFourAreHidden) {
  const struct {
    const char* number;
    const char* masked;
  } cases[] = {
      {"4111111111111111", "************1111"},
      {"371449635398431", "***********8431"},
      {"12345", "*2345"},
      {"1234", "1234"},
      {"12", "12"},
      {"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(MaskCardNumber(c.number), c.masked) << c.number;
}

}  // namespace
}  // namespace portavel
