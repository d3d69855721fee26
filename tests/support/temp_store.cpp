#include "support/temp_store.h"

#include <stdlib.h>

#include <cstdlib>
#include <optional>
#include <stdexcept>
#include <string_view>

#include "support/postgres_cluster.h"

namespace portavel::testing {

StoreEngine E2eStoreEngine() {
  const char* store = std::getenv("PORTAVEL_E2E_STORE");
  if (store == nullptr || *store == '\0' || std::string_view(store) == "sqlite") {
    return StoreEngine::kSqlite;
  }
  if (std::string_view(store) == "postgresql") return StoreEngine::kPostgresql;
  // A misspelt engine must not quietly test SQLite again.
  throw std::runtime_error(std::string("PORTAVEL_E2E_STORE: \"") + store +
                           "\" is neither \"sqlite\" nor \"postgresql\"");
}

std::string TriggerSql(StoreEngine engine, const std::string& name, const std::string& event,
                       const std::string& table, const std::string& body) {
  if (engine == StoreEngine::kSqlite) {
    return "CREATE TRIGGER " + name + " " + event + " ON " + table + " BEGIN " + body + " END";
  }
  // PostgreSQL runs a trigger's statements as a function of their own.
  return "CREATE FUNCTION " + name + "() RETURNS trigger LANGUAGE plpgsql AS $$BEGIN " + body +
         " RETURN NULL; END$$; CREATE TRIGGER " + name + " " + event + " ON " + table +
         " FOR EACH ROW EXECUTE FUNCTION " + name + "()";
}

std::string RefusalSql(StoreEngine engine) {
  return engine == StoreEngine::kSqlite ? "SELECT RAISE(ABORT, 'database or disk is full');"
                                        : "RAISE EXCEPTION 'database or disk is full';";
}

TempStore::TempStore(StoreEngine engine) {
  std::string pattern = (std::filesystem::temp_directory_path() / "portavel-store-XXXXXX").string();
  if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
  folder_ = pattern;
  if (engine == StoreEngine::kPostgresql) {
    std::string why_not;
    const std::optional<std::string> cluster = TestPostgresConnectionString(&why_not);
    if (!cluster) {
      std::error_code ignored;
      std::filesystem::remove_all(folder_, ignored);
      throw std::runtime_error("no PostgreSQL cluster for the store: " + why_not);
    }
    database_ = std::make_unique<ScratchPostgresDatabase>(*cluster);
    paths_.engine = StoreEngine::kPostgresql;
    paths_.postgresql = database_->connection_string();
  } else {
    paths_.userdata = (folder_ / "UserData.sqlite").string();
    paths_.localdata = (folder_ / "LocalData.sqlite").string();
  }
  store_ = std::make_unique<Store>(paths_, /*create_missing_files=*/true);
  store_->CreateAllTables();
}

TempStore::~TempStore() {
  store_.reset();
  database_.reset();
  std::error_code ignored;
  std::filesystem::remove_all(folder_, ignored);
}

void TempStore::Insert(const std::string& table,
                       std::initializer_list<std::pair<const char*, Value>> fields,
                       const std::string& alias) {
  DataSet data(*store_, alias, table);
  data.Open();
  data.Append();
  for (const auto& [name, value] : fields) data.FieldByName(name).Set(value);
  data.Post();
}

}  // namespace portavel::testing
