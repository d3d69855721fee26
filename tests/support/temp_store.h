// A fresh store with every table, in a temporary folder removed at the end:
// SQLite files in the folder, or a PostgreSQL database of its own on the
// tests' cluster, dropped at the end.
#pragma once

#include <filesystem>
#include <initializer_list>
#include <memory>
#include <string>
#include <utility>

#include "data/data_set.h"
#include "data/store.h"
#include "support/postgres_database.h"

namespace portavel::testing {

// The engine the end-to-end tests keep their store on: PostgreSQL with
// PORTAVEL_E2E_STORE=postgresql in the test's environment, SQLite otherwise,
// so that the same pages are checked against both.
StoreEngine E2eStoreEngine();

// A row trigger of the store, for tests that make the program's writes
// fail or change under it, in the dialect of `engine`: `event` is
// "AFTER INSERT" and the like, `table` the quoted table, `body` statements
// each ending in ";" that both engines read alike (NEW.rowid included).
std::string TriggerSql(StoreEngine engine, const std::string& name, const std::string& event,
                       const std::string& table, const std::string& body);

// The statement of a trigger body that fails the write as a full disk does.
std::string RefusalSql(StoreEngine engine);

class TempStore {
 public:
  // With PostgreSQL, throws std::runtime_error when there is no cluster.
  explicit TempStore(StoreEngine engine = StoreEngine::kSqlite);
  ~TempStore();
  TempStore(const TempStore&) = delete;
  TempStore& operator=(const TempStore&) = delete;

  Store& store() { return *store_; }
  StoreEngine engine() const { return paths_.engine; }
  bool on_postgresql() const { return paths_.engine == StoreEngine::kPostgresql; }
  const StorePaths& paths() const { return paths_; }
  const std::filesystem::path& folder() const { return folder_; }

  // Appends one row; fields not named stay null.
  void Insert(const std::string& table, std::initializer_list<std::pair<const char*, Value>> fields,
              const std::string& alias = "UserData");

 private:
  std::filesystem::path folder_;
  // Outlives the store, whose connections must be gone before it is dropped.
  std::unique_ptr<ScratchPostgresDatabase> database_;
  StorePaths paths_;
  std::unique_ptr<Store> store_;
};

}  // namespace portavel::testing
