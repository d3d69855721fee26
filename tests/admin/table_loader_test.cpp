#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <string>

#include "admin/catalog_lookup.h"
#include "support/admin_tool_runner.h"

namespace portavel {
namespace {

using json = nlohmann::ordered_json;
using testing::AdminToolRunner;
using testing::ToolRun;

class TableLoaderTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(tool.Run({"init"}).exit_code, 0); }

  // The dumped row holds the given values and null in every other field,
  // under the declared names in declared order.
  void ExpectRowHolds(const std::string& table_name, const json& dumped, const json& given) {
    const TableDef* table = FindTableInAnyAlias(table_name);
    ASSERT_NE(table, nullptr);
    ASSERT_EQ(dumped.size(), table->fields.size());
    size_t i = 0;
    for (const auto& [name, value] : dumped.items()) {
      const std::string& declared = table->fields[i++].name;
      EXPECT_EQ(name, declared);
      EXPECT_EQ(value, given.contains(name) ? given[name] : json()) << table_name << "." << name;
    }
  }

  AdminToolRunner tool;
};

// Every field type, each value in the form dump writes, so that what comes
// back must be exactly what went in.
TEST_F(TableLoaderTest, EveryFieldTypeComesBackAsLoaded) {
  const json file = json::parse(R"({
    "Tanks": [{
      "Tankindex": 2147483647,
      "DeliveryCity": "Montréal",
      "Directions": "Gate code 4411\nŒuvre – “quoted” € ÿ",
      "RteActive": true,
      "LDD": "2024-02-29",
      "StopTime": "07:45:30",
      "TicketCommentDate": "2024-03-15 13:05:09",
      "LocNo": 12.625,
      "Mc8000tcode": -32768,
      "GalsTD": "-0.5",
      "CustomRent": "45.50",
      "HPrice": "1.005",
      "CustomPrice": "0.0150"
    }, {
      "Tankindex": -2147483648,
      "RteActive": false,
      "LocNo": -0.001
    }],
    "Products": [{"ProductKey": 1, "ProductGroupPicture": {"hex": "89504e470d0a1a0a00ff"}}],
    "scid": [{"Data": {"hex": "00112233445566778899aabbccddeeff"}}],
    "AppliedTo": [{"AppliedToKey": 1, "Amount": "922337203685477.5807"},
                  {"AppliedToKey": 2, "Amount": "-0.0001"}],
    "Taxes": [{"Taxkey": 41, "TaxName": "Ünterzoll", "OldRate": "12.3456"}]
  })");
  ToolRun run = tool.Load(file.dump());
  ASSERT_EQ(run.exit_code, 0) << run.err;

  for (const auto& [table, rows] : file.items()) {
    json dumped = tool.Dump(table);
    ASSERT_EQ(dumped.size(), rows.size()) << table;
    for (size_t i = 0; i < rows.size(); ++i) ExpectRowHolds(table, dumped[i], rows[i]);
  }
}

// Amounts are read from the number's text: a double could not hold these.
TEST_F(TableLoaderTest, AmountsAreExactAndNamesMatchInAnyCase) {
  ToolRun run = tool.Load(R"({"appliedto.DB": [
      {"amount": 922337203685477.5807},
      {"AMOUNT": 0.1e1},
      {"Amount": 45.5}
    ],
    "TANKS": [{"hprice": 1.005, "CustomRent": 3, "GalsTD": "7"}]})");
  ASSERT_EQ(run.exit_code, 0) << run.err;
  EXPECT_EQ(run.out, "AppliedTo: 3 rows\nTanks: 1 row\nLoaded 4 rows into 2 tables\n");

  json amounts = tool.Dump("AppliedTo");
  EXPECT_EQ(amounts[0]["Amount"], "922337203685477.5807");
  EXPECT_EQ(amounts[1]["Amount"], "1.0000");
  EXPECT_EQ(amounts[2]["Amount"], "45.5000");
  json tank = tool.Dump("Tanks")[0];
  EXPECT_EQ(tank["HPrice"], "1.005");
  EXPECT_EQ(tank["CustomRent"], "3.00");
  EXPECT_EQ(tank["GalsTD"], "7.0");
}

TEST_F(TableLoaderTest, ABadFileIsRefusedWithOneMessageAndLoadsNothing) {
  // Each file starts with good rows in both databases, which must not stay.
  const std::string kGood =
      R"("Company": [{"CompanyName": "Good"}], "e_stmt_smtp_cnxn_cfg": [{"Port_Number": 25}], )";
  struct Case {
    std::string tables;
    std::string message;
  };
  const Case kCases[] = {
      {R"("Nope": [{}])", "unknown table Nope"},
      {R"("Accounts": [{"AccountID": "A1", "Colour": "red"}])",
       "Accounts row 1, field Colour: no such field in Accounts"},
      {R"("Accounts": [{"AccountIndex": "12"}])",
       "Accounts row 1, field AccountIndex: expected a whole number for Integer, found a text"},
      {R"("Accounts": [{"UseCC": "yes"}])",
       "Accounts row 1, field UseCC: expected true or false for Boolean, found a text"},
      {R"("Accounts": [{}, {}, {"State": "Texas"}])",
       "Accounts row 3, field State: text of 5 characters is longer than String(2)"},
      {R"("Accounts": [{"Balance": 1.005}])",
       "Accounts row 1, field Balance: 1.005 has more decimals than BCD(2) keeps"},
      {R"("Accounts": [{"AccountOpened": "2023-02-29"}])",
       "Accounts row 1, field AccountOpened: \"2023-02-29\" is not a date (YYYY-MM-DD)"},
      {R"("Accounts": [{"AccountIndex": 1.5}])",
       "Accounts row 1, field AccountIndex: 1.5 is not a whole number"},
      {R"("Tanks": [{"Mc8000tcode": 32768}])",
       "Tanks row 1, field Mc8000tcode: 32768 is out of the range of SmallInt"},
      {R"("Accounts": [{"City": "Łódź"}])",
       "Accounts row 1, field City: text has a character that windows-1252 cannot hold"},
      {R"("Accounts": [{"WALPW": {"hex": "000102030405060708090a0b0c0d0e0f1011121314ff"}}])",
       "Accounts row 1, field WALPW: 22 bytes are longer than Bytes(21)"},
      {R"("Accounts": [{"AccountID": "A1"}, {"AccountID": "A2", "Balance": "ten"}])",
       "Accounts row 2, field Balance: \"ten\" is not a decimal number"},
      {R"("Accounts": [{"City": "A", "city": "B"}])", "Accounts row 1, field City: given twice"},
      {R"("Accounts": {"AccountID": "A1"})",
       "Accounts: expected an array of rows, found an object"},
      {R"("Accounts": [], "accounts.db": [])", "table Accounts is given twice in the file"},
      // Found only while writing: the rows already written are rolled back.
      {R"("AppliedTo": [{"Amount": "1"}], "Taxes": [{"Taxkey": 5}, {"Taxkey": 5}])",
       "Taxes row 2: the store refused the row: UNIQUE constraint failed: Taxes.Taxkey"},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.tables);
    ToolRun run = tool.Load("{" + kGood + c.tables + "}");
    EXPECT_EQ(run.exit_code, 1);
    EXPECT_EQ(run.err, "portavel-db: " + c.message + "\n");
    EXPECT_EQ(run.out, "");
    for (const char* table :
         {"Company", "e_stmt_smtp_cnxn_cfg", "Taxes", "Accounts", "AppliedTo", "Tanks"}) {
      EXPECT_EQ(tool.Dump(table), json::array()) << table;
    }
  }
}

TEST_F(TableLoaderTest, AKeysRowForAnExistingSequenceSetsItsNextNumber) {
  ToolRun run = tool.Load(R"({"Keys": [
      {"TableName": "INVOICES", "FieldName": "invoicekey", "NextNumber": 500},
      {"TableName": "Extra", "FieldName": "ExtraKey", "NextNumber": 3},
      {"TableName": "Extra", "FieldName": "EXTRAKEY", "NextNumber": 4},
      {"TableName": "log", "FieldName": "AnyName", "NextNumber": 9}
    ]})");
  ASSERT_EQ(run.exit_code, 0) << run.err;
  EXPECT_EQ(run.out,
            "Keys: 4 rows (3 set the NextNumber of an existing sequence)\n"
            "Loaded 4 rows into 1 table\n");

  json keys = tool.Dump("Keys");
  auto next_number = [&keys](const std::string& table) {
    json found = json::array();
    for (const json& row : keys) {
      if (row["TableName"] == table) found.push_back(row["NextNumber"]);
    }
    return found;
  };
  EXPECT_EQ(next_number("Invoices"), json::array({500}));
  EXPECT_EQ(next_number("Extra"), json::array({4}));
  EXPECT_EQ(next_number("Log"), json::array({9}));
  EXPECT_EQ(next_number("Manifest"), json::array({1}));
  EXPECT_EQ(keys.size(), 8u);
}

TEST_F(TableLoaderTest, LoadReadsAFileAndRefusesAStoreThatIsNotSetUp) {
  std::string path = (tool.folder() / "rows.json").string();
  { std::ofstream(path) << R"({"Company": [{"CompanyName": "From a file"}]})"; }
  ToolRun run = tool.Run({"load", path});
  ASSERT_EQ(run.exit_code, 0) << run.err;
  EXPECT_EQ(tool.Dump("Company")[0]["CompanyName"], "From a file");

  std::filesystem::remove(tool.folder() / "LocalData.sqlite");
  ToolRun missing = tool.Load(R"({"Company": []})");
  EXPECT_EQ(missing.exit_code, 2);
  EXPECT_EQ(missing.err, "portavel-db: the LocalData database " +
                             (tool.folder() / "LocalData.sqlite").string() +
                             " does not exist; run portavel-db init first\n");
  EXPECT_FALSE(std::filesystem::exists(tool.folder() / "LocalData.sqlite"));
}

}  // namespace
}  // namespace portavel
