#include "admin/store_copy.h"

#include <filesystem>
#include <memory>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>

#include "admin/admin_error.h"
#include "admin/store_setup.h"
#include "admin/table_dump.h"
#include "data/query.h"
#include "data/store.h"
#include "data/store_transaction.h"
#include "data/table_catalog.h"

namespace portavel {
namespace {

namespace fs = std::filesystem;

constexpr const char* kAliases[] = {"UserData", "LocalData"};

bool IsKeysTable(const TableDef& table) {
  return table.alias == "UserData" && table.name == "Keys";
}

bool SameFile(const std::string& a, const std::string& b) {
  std::error_code a_error;
  std::error_code b_error;
  const fs::path a_path = fs::weakly_canonical(a, a_error);
  const fs::path b_path = fs::weakly_canonical(b, b_error);
  return !a_error && !b_error && a_path == b_path;
}

// Copying a store onto itself would wait on its own write lock and then
// fail; it deserves a plain answer instead.
bool SameStore(const StorePaths& a, const StorePaths& b) {
  if (a.engine != b.engine) return false;
  if (a.engine == StoreEngine::kPostgresql) return a.postgresql == b.postgresql;
  return SameFile(a.userdata, b.userdata) || SameFile(a.localdata, b.localdata);
}

// A SQLite alias whose file is not there yet holds nothing; opening it
// without set-up would fail instead.
bool AliasMayHoldRows(const StorePaths& paths, const std::string& alias) {
  if (paths.engine == StoreEngine::kPostgresql) return true;
  std::error_code error;
  return fs::exists(alias == "UserData" ? paths.userdata : paths.localdata, error);
}

// A copy never merges into data, so the target may only be as init leaves
// it: tables missing or empty, and Keys rows from which no key was drawn.
void RefuseUnlessEmpty(Store& target, const StorePaths& paths) {
  std::vector<std::string> holding;
  for (const TableDef& table : AllTableDefs()) {
    if (!AliasMayHoldRows(paths, table.alias) || !target.TableExists(table.alias, table.name)) {
      continue;
    }
    std::string sql = "SELECT 1 FROM " + QuoteIdentifier(table.name);
    if (IsKeysTable(table)) sql += R"( WHERE "NextNumber" IS NULL OR "NextNumber" <> 1)";
    Query rows(target, table.alias, sql + " LIMIT 1");
    rows.Open();
    if (!rows.Eof()) holding.push_back(table.name);
  }
  if (holding.empty()) return;
  std::string names;
  for (size_t i = 0; i < holding.size() && i < 3; ++i) {
    names += (i == 0 ? "" : ", ") + holding[i];
  }
  if (holding.size() > 3) names += " and " + std::to_string(holding.size() - 3) + " more";
  throw DataError("the target store is not empty (" + names +
                  " hold rows); copy only fills an empty store");
}

// One table through the dump's reader and the load's writer: the copy then
// holds exactly what dump and load carry, every value checked against the
// catalog on the way.
TableLoadCount CopyTable(Store& source, Store& target, const TableDef& table,
                         std::ostream& progress) {
  std::ostringstream rows;
  DumpTable(source, table.name, {}, rows);
  std::vector<TableLoadCount> counts = LoadTables(
      target, "{" + nlohmann::json(table.name).dump() + ": " + rows.str() + "}", progress);
  TableLoadCount count = counts.front();
  // The load takes a second row for a key sequence as a new NextNumber for
  // the first, which would leave the target drawing keys the source has
  // used already.
  if (count.replaced_keys > 0) {
    throw DataError("the source's Keys table holds " + std::to_string(count.replaced_keys) +
                    " second row(s) for a key sequence; remove the stale rows before copying");
  }
  return count;
}

}  // namespace

std::vector<TableLoadCount> CopyStore(Store& source, const StorePaths& source_paths,
                                      const StorePaths& target_paths, std::ostream& progress) {
  if (SameStore(source_paths, target_paths)) {
    throw UsageError("the source and the target are the same store");
  }
  // Refused before set-up, so that a store holding data is left untouched.
  {
    Store target(target_paths);
    RefuseUnlessEmpty(target, target_paths);
  }
  SetUpStore(target_paths);
  Store target(target_paths);

  std::vector<std::unique_ptr<StoreTransaction>> reads;
  std::vector<std::unique_ptr<StoreTransaction>> writes;
  for (const char* alias : kAliases) {
    reads.push_back(std::make_unique<StoreTransaction>(source, alias));
    writes.push_back(std::make_unique<StoreTransaction>(target, alias));
  }
  // Again under the write locks: another writer may have come first.
  RefuseUnlessEmpty(target, target_paths);
  // init's Keys rows give way to the source's, kept as they are and in
  // their order.
  Query(target, "UserData", R"(DELETE FROM "Keys")").ExecSql();

  std::vector<TableLoadCount> counts;
  for (const TableDef& table : AllTableDefs()) {
    // A store set up by an older version may lack a table; the target
    // keeps it empty.
    if (!source.TableExists(table.alias, table.name)) {
      progress << table.name << ": not in the source, left empty" << std::endl;
      continue;
    }
    counts.push_back(CopyTable(source, target, table, progress));
    progress << "Copied " << table.name << ": " << counts.back().rows
             << (counts.back().rows == 1 ? " row" : " rows") << std::endl;
  }
  // Committed in the reverse order they began, as the load does; the
  // source's transactions wrote nothing and roll back as they go.
  while (!writes.empty()) {
    writes.back()->Commit();
    writes.pop_back();
  }
  return counts;
}

}  // namespace portavel
