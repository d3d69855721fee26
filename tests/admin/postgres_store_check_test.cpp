// `portavel-db check` on PostgreSQL: a store as `init` made it passes, with
// every windows-1252 character stored, and what another program or a hand
// on the server can break is named by table and column.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "admin/store_check.h"
#include "support/postgres_cluster.h"
#include "support/postgres_database.h"
#include "support/temp_store.h"

namespace portavel::testing {
namespace {

class PostgresStoreCheckTest : public PostgresTest {};

std::vector<std::string> Problems(TempStore& temp) {
  std::vector<std::string> lines;
  for (const StoreProblem& problem : CheckStoreIntegrity(temp.store())) {
    lines.push_back(problem.alias + ": " + problem.problem);
  }
  return lines;
}

// Every byte windows-1252 has but zero, the five it leaves undefined too.
std::string EveryByte() {
  std::string text;
  for (int byte = 1; byte < 256; ++byte) text += static_cast<char>(byte);
  return text;
}

TEST_F(PostgresStoreCheckTest, ASoundStorePassesAndEachDamageIsNamed) {
  struct Case {
    const char* damage;  // run as the portal's role on the store's database
    std::vector<std::string> problems;
  };
  const Case cases[] = {
      {"", {}},
      {R"(ALTER TABLE userdata."Tanks" DROP COLUMN "RouteName")",
       {"UserData: table Tanks has no column RouteName"}},
      {R"(ALTER TABLE userdata."Accounts" ALTER COLUMN "Balance" TYPE numeric)",
       {"UserData: table Accounts, column Balance is numeric, not bigint"}},
      {R"(ALTER TABLE userdata."Tanks" ALTER COLUMN "RouteName" TYPE varchar(35) COLLATE "POSIX")",
       {"UserData: table Tanks, column RouteName orders by collation \"POSIX\", not \"C\""}},
      {R"(INSERT INTO userdata."Tanks" ("Tankindex", "Directions") VALUES (2, 'Plzeň'), )"
       R"((3, 'Łódź'), (4, 'fine €'))",
       {"UserData: table Tanks, column Directions: 2 rows hold characters windows-1252 lacks; "
        "the portal reads them as \"?\""}},
      {R"(SELECT setval('localdata."Taxes_Taxkey_seq"', 1))",
       {"LocalData: table Taxes, column Taxkey: the key counter stands at 1, behind the largest "
        "key 2, so a new row would take a key in use"}},
      {R"(ALTER TABLE localdata."Taxes" DISABLE TRIGGER "Taxes_Taxkey_autoinc")",
       {"LocalData: table Taxes, column Taxkey has no enabled key trigger Taxes_Taxkey_autoinc"}},
      {R"(DROP TABLE localdata."Taxes")", {"LocalData: table Taxes is missing"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.damage);
    TempStore temp(StoreEngine::kPostgresql);
    temp.Insert("Tanks",
                {{"Tankindex", Value::Integer(1)}, {"Directions", Value::Text(EveryByte())}});
    temp.Insert("Taxes", {{"TaxName", Value::Text("Sales Tax")}}, "LocalData");
    temp.Insert("Taxes", {{"TaxName", Value::Text("LP Excise")}}, "LocalData");
    if (*c.damage != '\0') RunPostgresSql(temp.paths().postgresql, c.damage);
    EXPECT_EQ(Problems(temp), c.problems);
  }
}

}  // namespace
}  // namespace portavel::testing
