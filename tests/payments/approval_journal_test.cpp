#include "payments/approval_journal.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <tuple>

#include "data/query.h"
#include "support/file_bytes.h"
#include "support/posting_keys.h"
#include "support/temp_store.h"

namespace portavel {
namespace {

using testing::TempStore;

class ApprovalJournalTest : public ::testing::Test {
 protected:
  JournalEntry Entry() {
    JournalEntry entry;
    entry.recorded_at = *DateTime::FromCivil(2026, 12, 10, 14, 5, 9);
    entry.invoice_no = "CC 1042";
    entry.reason = "database is locked";
    CardLogRow& row = entry.row;
    row.cc_trans_key = 5120;
    row.account_key = 314;
    row.message = "Approved\tfor O'Brien\r\n100% \xE9t\xE9";
    row.response = "01234P";
    row.approved = true;
    row.amount = *Money::Parse("45.50");
    row.trans_key = 90211;
    row.batch_key = 88;
    row.merchant_id = 4;
    row.when = *DateTime::FromCivil(2026, 12, 10, 14, 5, 8);
    row.shape = CardLogShape::kXml;
    row.transaction_id = "T100";
    row.token = "H1";
    row.request_kind = "SALE";
    row.card_number = "4111111111111111";
    return entry;
  }
  std::string Path() const { return (temp.folder() / "journal.log").string(); }
  std::string One(const std::string& sql) {
    Query query(temp.store(), "UserData", sql);
    query.Open();
    return query.Eof() ? "<none>" : query.Column(0).AsString();
  }

  TempStore temp;
};

TEST_F(ApprovalJournalTest, AnEntryComesBackWholeAndNeverHoldsTheCardNumber) {
  AppendJournalEntry(Path(), Entry());
  AppendJournalEntry(Path(), Entry());
  const std::string bytes = testing::ReadFileBytes(Path());
  EXPECT_EQ(bytes.find("4111111111111111"), std::string::npos);
  EXPECT_EQ(std::count(bytes.begin(), bytes.end(), '\n'), 2) << "one line an entry";

  std::vector<JournalDamage> damaged;
  std::vector<JournalEntry> entries = ReadJournal(Path(), &damaged);
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_TRUE(damaged.empty());
  const JournalEntry expected = Entry();
  const JournalEntry& got = entries[1];
  EXPECT_EQ(got.recorded_at, expected.recorded_at);
  EXPECT_EQ(got.invoice_no, "CC 1042");
  EXPECT_EQ(got.reason, expected.reason);
  EXPECT_EQ(got.row.message, expected.row.message);
  EXPECT_EQ(got.row.amount, expected.row.amount);
  EXPECT_EQ(got.row.when, expected.row.when);
  EXPECT_EQ(got.row.shape, CardLogShape::kXml);
  EXPECT_EQ(got.row.card_number, "************1111");
  EXPECT_EQ(std::tie(got.row.cc_trans_key, got.row.account_key, got.row.trans_key,
                     got.row.batch_key, got.row.merchant_id, got.row.approved),
            std::make_tuple(5120, 314, 90211, 88, 4, true));
  EXPECT_NE(DescribeJournalEntry(got).find("account 314, amount 45.5, invoice CC 1042, merchant 4, "
                                           "card log key 5120, authorization 01234P"),
            std::string::npos)
      << DescribeJournalEntry(got);
}

TEST_F(ApprovalJournalTest, ALineCutShortIsReportedAndTheOthersRead) {
  EXPECT_TRUE(ReadJournal(Path(), nullptr).empty()) << "no journal, nothing to read";
  AppendJournalEntry(Path(), Entry());
  const std::string line = testing::ReadFileBytes(Path());
  std::ofstream(Path(), std::ios::app) << "garbage\n" << line.substr(0, line.size() / 2);
  std::vector<JournalDamage> damaged;
  EXPECT_EQ(ReadJournal(Path(), &damaged).size(), 1u);
  ASSERT_EQ(damaged.size(), 2u);
  EXPECT_EQ(damaged[0].line, 2);
  EXPECT_EQ(damaged[1].line, 3);

  // The next approval starts a line of its own after the cut one.
  AppendJournalEntry(Path(), Entry());
  damaged.clear();
  EXPECT_EQ(ReadJournal(Path(), &damaged).size(), 2u);
  EXPECT_EQ(damaged.size(), 2u);
}

TEST_F(ApprovalJournalTest, ReplayCompletesTheReservedRowOnce) {
  testing::InsertPostingKeys(temp);
  CardLogRow reserved = Entry().row;
  reserved.approved = false;
  reserved.message = "No definite answer";
  reserved.response = "NO ANSWER";
  InsertCardLogRow(temp.store(), reserved);
  EXPECT_FALSE(IsJournalEntryRecorded(temp.store(), Entry()));
  EXPECT_EQ(ReplayJournalEntry(temp.store(), Entry()), ReplayOutcome::kRecorded);
  EXPECT_EQ(ReplayJournalEntry(temp.store(), Entry()), ReplayOutcome::kAlreadyRecorded);
  EXPECT_EQ(One("SELECT COUNT(*) || '|' || MIN(Approved) || '|' || MIN(Response) || '|' || "
                "MIN(CCNumLast4) FROM ccTransactions"),
            "1|1|01234P|************1111");

  // A row gone from the store is written anew under its key.
  temp.store().Execute("UserData", "DELETE FROM ccTransactions");
  EXPECT_EQ(ReplayJournalEntry(temp.store(), Entry()), ReplayOutcome::kRecorded);
  EXPECT_EQ(One("SELECT CCTransKey FROM ccTransactions"), "5120");
}

}  // namespace
}  // namespace portavel
