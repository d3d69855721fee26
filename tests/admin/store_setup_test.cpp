#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "data/store.h"
#include "data/table_catalog.h"
#include "support/admin_tool_runner.h"

namespace portavel {
namespace {

using json = nlohmann::ordered_json;
using testing::AdminToolRunner;
using testing::ToolRun;

const json kFreshKeys = json::parse(R"([
  {"TableName": "Manifest", "FieldName": "BatchKey", "NextNumber": 1},
  {"TableName": "Invoices", "FieldName": "InvoiceKey", "NextNumber": 1},
  {"TableName": "Transactions", "FieldName": "TransKey", "NextNumber": 1},
  {"TableName": "TransTaxLkUp", "FieldName": "TransTaxLkUpKey", "NextNumber": 1},
  {"TableName": "ccTransactions", "FieldName": "ccTransKey", "NextNumber": 1},
  {"TableName": "Accounts", "FieldName": "AccountIndex", "NextNumber": 1},
  {"TableName": "Log", "FieldName": "Logkey", "NextNumber": 1}
])");

StorePaths PathsIn(const AdminToolRunner& tool) {
  return SqliteStorePaths((tool.folder() / "UserData.sqlite").string(),
                          (tool.folder() / "LocalData.sqlite").string());
}

TEST(StoreSetupTest, InitCreatesBothFilesEveryTableAndEverySequence) {
  AdminToolRunner tool;
  ToolRun run = tool.Run({"init"});
  ASSERT_EQ(run.exit_code, 0) << run.err;
  EXPECT_NE(run.out.find("Created table Accounts\n"), std::string::npos) << run.out;

  EXPECT_EQ(tool.Dump("Keys"), kFreshKeys);
  Store store(PathsIn(tool));
  for (const TableDef& table : AllTableDefs()) {
    EXPECT_TRUE(store.TableExists(table.alias, table.name)) << table.name;
  }
}

TEST(StoreSetupTest, InitOnAnExistingStoreAddsOnlyWhatIsMissing) {
  AdminToolRunner tool;
  ASSERT_EQ(tool.Run({"init"}).exit_code, 0);
  ASSERT_EQ(tool.Load(R"({"Company": [{"CompanyName": "Kept"}],
                          "Keys": [{"TableName": "Invoices", "FieldName": "InvoiceKey",
                                    "NextNumber": 77}]})")
                .exit_code,
            0);

  ToolRun again = tool.Run({"init"});
  ASSERT_EQ(again.exit_code, 0) << again.err;
  EXPECT_EQ(again.out, "Nothing to create: every file, table and key row exists\n");

  {
    // A sequence row gone, and the log's row under another field name:
    // the log finds its row by table name alone, so that row still counts.
    Store store(PathsIn(tool));
    store.Execute("UserData", "DELETE FROM Keys WHERE TableName = 'Manifest'");
    store.Execute("UserData", "UPDATE Keys SET FieldName = 'LogNo' WHERE TableName = 'Log'");
  }
  ToolRun repair = tool.Run({"init"});
  ASSERT_EQ(repair.exit_code, 0) << repair.err;
  EXPECT_EQ(repair.out, "Created key row Manifest/BatchKey with NextNumber 1\n");

  json keys = tool.Dump("Keys");
  json expected = kFreshKeys;
  expected.erase(0);  // the Manifest row comes back at the end
  expected[0]["NextNumber"] = 77;
  expected[5]["FieldName"] = "LogNo";
  expected.push_back(kFreshKeys[0]);
  EXPECT_EQ(keys, expected);
  EXPECT_EQ(tool.Dump("Company")[0]["CompanyName"], "Kept");
}

}  // namespace
}  // namespace portavel
