#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "support/admin_tool_runner.h"

namespace portavel {
namespace {

using json = nlohmann::ordered_json;
using testing::AdminToolRunner;
using testing::ToolRun;

class TableDumpTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(tool.Run({"init"}).exit_code, 0); }
  AdminToolRunner tool;
};

TEST_F(TableDumpTest, WritesPrettyPrintedUtf8InDeclaredOrder) {
  EXPECT_EQ(tool.Run({"dump", "Company"}).out, "[]\n");

  ASSERT_EQ(tool.Load(R"({"Company": [{"CompanyName": "Café Propane", "Phone": "555"}],
                          "scid": [{"Data": "AB"}]})")
                .exit_code,
            0);
  EXPECT_EQ(tool.Run({"dump", "company.db"}).out,
            "[\n"
            "  {\n"
            "    \"Phone\": \"555\",\n"
            "    \"WebsiteAddress\": null,\n"
            "    \"CompanyName\": \"Café Propane\"\n"
            "  }\n"
            "]\n");
  // Bytes(16) given two bytes: the store pads them with zero bytes.
  EXPECT_EQ(tool.Run({"dump", "SCID"}).out,
            "[\n"
            "  {\n"
            "    \"Data\": {\n"
            "      \"hex\": \"41420000000000000000000000000000\"\n"
            "    }\n"
            "  }\n"
            "]\n");
}

TEST_F(TableDumpTest, WhereKeepsRowsWhoseFieldsEqualTheWholeValue) {
  ASSERT_EQ(tool.Load(R"({"Accounts": [
      {"AccountID": "A1", "State": "OR", "Balance": "10.00", "UseCC": true},
      {"AccountID": "A2", "State": "or", "Balance": "10", "UseCC": false},
      {"AccountID": "A3", "Balance": "5.5", "AccountOpened": "2024-03-01"}
    ]})")
                .exit_code,
            0);
  struct Case {
    std::vector<std::string> conditions;
    json account_ids;
  };
  const Case kCases[] = {
      {{"State=OR"}, {"A1"}},         {{"State=or"}, {"A2"}},
      {{"Balance=10"}, {"A1", "A2"}}, {{"balance=10.00", "State=or"}, {"A2"}},
      {{"State="}, {"A3"}},           {{"AccountID=A"}, json::array()},
      {{"UseCC=true"}, {"A1"}},       {{"AccountOpened=2024-03-01"}, {"A3"}},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.conditions[0]);
    json ids = json::array();
    for (const json& row : tool.Dump("Accounts", c.conditions)) ids.push_back(row["AccountID"]);
    EXPECT_EQ(ids, c.account_ids);
  }
}

}  // namespace
}  // namespace portavel
