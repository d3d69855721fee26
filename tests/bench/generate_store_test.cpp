// The benchmark store generator on a tiny store: its sample delivery,
// recorded through the portal's delivery recording, agrees with the rows
// it writes, and nothing of the sample stays in the store.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>

#include "money/money.h"
#include "support/admin_tool_runner.h"
#include "support/file_bytes.h"

namespace portavel::testing {
namespace {

using json = nlohmann::ordered_json;

TEST(GenerateStoreTest, TinyStoreKeepsNothingOfItsSampleDelivery) {
  const std::filesystem::path generator = PORTAVEL_BIN_DIR "/generate_store";
  if (!std::filesystem::exists(generator)) GTEST_SKIP() << "built without the benchmarks";
  AdminToolRunner tool;
  const std::filesystem::path errors = tool.folder() / "generate_store.err";
  const std::string command = generator.string() + " --config '" +
                              (tool.folder() / "portavel.toml").string() +
                              "' --accounts 3 --invoices 10 2>'" + errors.string() + "'";
  ASSERT_EQ(std::system(command.c_str()), 0) << ReadFileBytes(errors);

  // The 10 invoices and BENCH's 300, as headers; the sample's invoice,
  // its lines, tax links and open batch were rolled back.
  EXPECT_EQ(tool.Dump("Invoices").size(), 310u);
  EXPECT_EQ(tool.Dump("Transactions"), json::array());
  EXPECT_EQ(tool.Dump("TransTaxLkUp"), json::array());
  EXPECT_EQ(tool.Dump("Manifest", {"Closed=0"}), json::array());
  // The key rows continue after the rows written (1095 daily batches,
  // 310 invoices, 3 accounts and BENCH), not after the sample's.
  const std::map<std::string, int> expected_next = {
      {"Manifest", 1096},    {"Invoices", 311}, {"Transactions", 1}, {"TransTaxLkUp", 1},
      {"ccTransactions", 1}, {"Accounts", 5},   {"Log", 1}};
  std::map<std::string, int> next;
  for (const json& row : tool.Dump("Keys")) next[row["TableName"]] = row["NextNumber"];
  EXPECT_EQ(next, expected_next);
}

// Earlier web payments: each its own card batch, invoice, payment line and
// card log row, and the key rows and the next "CC" number carry on after
// them, so that the portal's next payment follows the history.
TEST(GenerateStoreTest, WebPaymentsLeaveWhatThePortalsPaymentsLeave) {
  const std::filesystem::path generator = PORTAVEL_BIN_DIR "/generate_store";
  if (!std::filesystem::exists(generator)) GTEST_SKIP() << "built without the benchmarks";
  AdminToolRunner tool;
  const std::filesystem::path errors = tool.folder() / "generate_store.err";
  const std::string command =
      generator.string() + " --config '" + (tool.folder() / "portavel.toml").string() +
      "' --accounts 3 --invoices 10 --web-payments 4 2>'" + errors.string() + "'";
  ASSERT_EQ(std::system(command.c_str()), 0) << ReadFileBytes(errors);

  const json batches = tool.Dump("Manifest", {"BatchType=2"});
  ASSERT_EQ(batches.size(), 4u);
  EXPECT_EQ(batches[0]["BatchKey"], 1096);
  EXPECT_EQ(tool.Dump("Invoices", {"InvType=Online Payment"}).size(), 4u);
  const json lines = tool.Dump("Transactions");
  ASSERT_EQ(lines.size(), 4u);
  const json card_log = tool.Dump("ccTransactions");
  ASSERT_EQ(card_log.size(), 4u);
  for (size_t i = 0; i < 4; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(lines[i]["BatchKey"], batches[i]["BatchKey"]);
    EXPECT_EQ(lines[i]["ProductID"], "PAY");
    EXPECT_EQ(card_log[i]["PayBatchkey"], batches[i]["BatchKey"]);
    EXPECT_EQ(card_log[i]["PayTransKey"], lines[i]["TransKey"]);
    // The card log keeps four decimals, the line two.
    EXPECT_EQ(Money::Parse(card_log[i]["TransAmount"].get<std::string>()),
              Money::Parse(lines[i]["PaymentAmount"].get<std::string>()));
    EXPECT_EQ(card_log[i]["Approved"], true);
  }
  const std::map<std::string, int> expected_next = {
      {"Manifest", 1100},    {"Invoices", 315}, {"Transactions", 5}, {"TransTaxLkUp", 1},
      {"ccTransactions", 5}, {"Accounts", 5},   {"Log", 1}};
  std::map<std::string, int> next;
  for (const json& row : tool.Dump("Keys")) next[row["TableName"]] = row["NextNumber"];
  EXPECT_EQ(next, expected_next);
  EXPECT_EQ(tool.Dump("RemotePrefs")[0]["NextCCNo"], 1005);
}

}  // namespace
}  // namespace portavel::testing
