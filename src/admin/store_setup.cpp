#include "admin/store_setup.h"

#include <filesystem>

#include "admin/admin_error.h"
#include "admin/key_sequences.h"
#include "data/query.h"
#include "data/table_catalog.h"

namespace portavel {
namespace {

namespace fs = std::filesystem;

// Creating a database in a folder that does not exist fails deep inside
// SQLite; a wrong path in the configuration deserves a clearer message.
void RequireFolder(const std::string& alias, const std::string& path) {
  fs::path folder = fs::absolute(path).parent_path();
  std::error_code error;
  if (!fs::is_directory(folder, error)) {
    throw UsageError("the folder " + folder.string() + " of the " + alias +
                     " database does not exist");
  }
}

}  // namespace

std::vector<std::string> SetUpStore(const StorePaths& paths) {
  std::vector<std::string> created;
  // Only SQLite keeps the store in files to check and create here; a
  // PostgreSQL store is reached through its connection string.
  if (paths.engine == StoreEngine::kSqlite) {
    for (const auto& [alias, path] :
         {std::pair{"UserData", paths.userdata}, std::pair{"LocalData", paths.localdata}}) {
      RequireFolder(alias, path);
      std::error_code error;
      if (!fs::exists(path, error)) {
        created.push_back("Created database file " + path + " (" + alias + ")");
      }
    }
  }

  Store store(paths, /*create_missing_files=*/true);
  for (const TableDef& table : AllTableDefs()) {
    if (store.CreateTable(table)) created.push_back("Created table " + table.name);
  }
  for (const KeySequence& sequence : KeySequences()) {
    if (FindSequenceRow(store, sequence.table_name, sequence.field_name)) continue;
    Query insert(store, "UserData",
                 R"(INSERT INTO "Keys" ("TableName", "FieldName", "NextNumber") )"
                 "VALUES (:TableName, :FieldName, 1)");
    insert.SetParam("TableName", Value::Text(std::string(sequence.table_name)));
    insert.SetParam("FieldName", Value::Text(std::string(sequence.field_name)));
    insert.ExecSql();
    created.push_back("Created key row " + std::string(sequence.table_name) + "/" +
                      std::string(sequence.field_name) + " with NextNumber 1");
  }
  return created;
}

}  // namespace portavel
