#include "admin/store_copy.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>

#include "config/config.h"
#include "data/data_set.h"
#include "data/store.h"
#include "data/table_catalog.h"
#include "support/admin_tool_runner.h"
#include "support/postgres_cluster.h"
#include "support/postgres_database.h"
#include "text/cp1252.h"

namespace portavel {
namespace {

using testing::AdminToolRunner;
using testing::ToolRun;

namespace fs = std::filesystem;

// A demo store with an installation identity and a scrambled mail
// password besides (binary fields the demo leaves empty), and a tank with
// every printable windows-1252 character, a float that needs all its
// digits and times with milliseconds.
void MakeSource(AdminToolRunner& tool) {
  ToolRun demo = tool.Run({"demo"});
  ASSERT_EQ(demo.exit_code, 0) << demo.err;
  std::string every_character;
  for (int b = 0x20; b <= 0xFF; ++b) {
    if (b != 0x7F) every_character += static_cast<char>(b);
  }
  nlohmann::json tank = {{"Tankindex", 99},
                         {"TicketComment", Cp1252ToUtf8(every_character)},
                         {"LocNo", 0.1 + 0.2},
                         {"TicketTimeStamp", "2024-02-29 23:59:59.999"},
                         {"StopTime", "07:05:00.001"}};
  ToolRun load = tool.Load(nlohmann::json{{"Tanks", {tank}}}.dump());
  ASSERT_EQ(load.exit_code, 0) << load.err;
  ToolRun smtp = tool.Run({"smtp", "set", "--host", "mail.example.com", "--port", "587", "--from",
                           "office@example.com", "--user", "portal", "--password-stdin"},
                          "sécret\n");
  ASSERT_EQ(smtp.exit_code, 0) << smtp.err;
}

std::string WriteConfig(const fs::path& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
  return path.string();
}

std::string SqliteConfig(const fs::path& folder) {
  fs::create_directories(folder);
  return WriteConfig(folder / "portavel.toml",
                     "[database]\nuserdata = \"UserData.sqlite\"\n"
                     "localdata = \"LocalData.sqlite\"\n");
}

std::string DumpOf(AdminToolRunner& tool, const std::string& config, const std::string& table) {
  ToolRun run = tool.RunBare({"--config", config, "dump", table});
  EXPECT_EQ(run.exit_code, 0) << config << ": " << run.err;
  return run.out;
}

// Every table dumps the same, byte for byte, from the tool's own store and
// from the store of `config`.
void ExpectSameDumps(AdminToolRunner& tool, const std::string& config) {
  for (const TableDef& table : AllTableDefs()) {
    SCOPED_TRACE(table.name);
    EXPECT_EQ(DumpOf(tool, config, table.name), tool.Dump(table.name).dump(2) + "\n");
  }
}

ToolRun CopyInto(AdminToolRunner& tool, const std::string& from, const std::string& to) {
  return tool.RunBare({"--config", from, "copy", to});
}

TEST(StoreCopyTest, CopiesIntoAnEmptyOrInitialisedStoreOnlyAndNeverMerges) {
  AdminToolRunner tool;
  MakeSource(tool);
  const std::string source = (tool.folder() / "portavel.toml").string();
  const std::string target = SqliteConfig(tool.folder() / "copy");
  ASSERT_EQ(tool.RunBare({"--config", target, "init"}).exit_code, 0);

  ToolRun copy = CopyInto(tool, source, target);
  ASSERT_EQ(copy.exit_code, 0) << copy.err;
  EXPECT_NE(copy.out.find("Copied "), std::string::npos) << copy.out;
  EXPECT_NE(copy.err.find("Copied Accounts: 5 rows\n"), std::string::npos) << copy.err;
  ExpectSameDumps(tool, target);

  ToolRun again = CopyInto(tool, source, target);
  EXPECT_EQ(again.exit_code, 1);
  EXPECT_EQ(again.err,
            "portavel-db: the target store is not empty (RemotePrefs, Company, Accounts and 17 "
            "more hold rows); copy only fills an empty store\n");
  ExpectSameDumps(tool, target);

  ToolRun onto_itself = CopyInto(tool, source, source);
  EXPECT_EQ(onto_itself.exit_code, 2);
  EXPECT_EQ(onto_itself.err, "portavel-db: the source and the target are the same store\n");
}

class StoreCopyPostgresTest : public testing::PostgresTest {};

TEST_F(StoreCopyPostgresTest, RoundTripThroughPostgresKeepsEveryField) {
  AdminToolRunner tool;
  MakeSource(tool);
  const std::string source = (tool.folder() / "portavel.toml").string();
  testing::ScratchPostgresDatabase database(connection_string());
  const std::string postgres = WriteConfig(tool.folder() / "postgres.toml",
                                           "[database]\nengine = \"postgresql\"\npostgresql = " +
                                               nlohmann::json(database.connection_string()).dump() +
                                               "\n[payments]\njournal = \"payments.journal\"\n");
  const std::string back = SqliteConfig(tool.folder() / "back");

  ToolRun there = CopyInto(tool, source, postgres);
  ASSERT_EQ(there.exit_code, 0) << there.err;
  ToolRun home = CopyInto(tool, postgres, back);
  ASSERT_EQ(home.exit_code, 0) << home.err;
  ExpectSameDumps(tool, postgres);
  ExpectSameDumps(tool, back);

  // A tax added on either end after the copy draws a key of its own, not
  // one the copy wrote.
  int64_t last_key = 0;
  for (const auto& tax : tool.Dump("Taxes")) last_key = std::max<int64_t>(last_key, tax["Taxkey"]);
  ASSERT_GT(last_key, 0);
  for (const std::string& config : {postgres, back}) {
    SCOPED_TRACE(config);
    Store store(ReadConfigFile(config).database);
    DataSet taxes(store, "LocalData", "Taxes");
    taxes.Open();
    taxes.Append();
    taxes.FieldByName("TaxName").SetString("Added after the copy");
    taxes.Post();
    EXPECT_EQ(taxes.FieldByName("Taxkey").AsInteger(), last_key + 1);
  }
}

}  // namespace
}  // namespace portavel
