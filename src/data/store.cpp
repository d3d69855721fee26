#include "data/store.h"

#include "data/postgres_engine.h"
#include "data/sqlite_engine.h"
#include "data/table_catalog.h"
#include "text/cp1252.h"

namespace portavel {

std::string QuoteIdentifier(std::string_view name) {
  std::string quoted = "\"";
  for (char c : name) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  return quoted + "\"";
}

Store::Store(StorePaths paths, bool create_missing_files)
    : paths_(std::move(paths)), create_missing_files_(create_missing_files) {}

Store::~Store() {
  CloseConnections();
}

void Store::CloseConnections() {
  connections_.clear();
  retired_.clear();
}

void Store::CloseFileConnections() {
  std::erase_if(connections_, [](const auto& entry) { return entry.second->HoldsFiles(); });
  retired_.clear();
}

void Store::DropLostConnections() {
  std::erase_if(connections_, [](const auto& entry) { return entry.second->FoundLostWhileIdle(); });
  retired_.clear();
}

std::string Store::CanonicalAlias(std::string_view alias) {
  // Every row a data set moves to asks for its connection by the alias as
  // the program spells it.
  if (alias == "UserData") return "UserData";
  if (alias == "LocalData") return "LocalData";
  if (EqualsNoCase1252(alias, "UserData")) return "UserData";
  if (EqualsNoCase1252(alias, "LocalData")) return "LocalData";
  throw StoreError("Unknown database alias '" + std::string(alias) + "'");
}

EngineConnection& Store::Connection(std::string_view alias) {
  std::string canonical = CanonicalAlias(alias);
  auto found = connections_.find(canonical);
  if (found != connections_.end()) {
    if (!found->second->IsBroken()) return *found->second;
    // A server connection lost: the next use connects afresh. The old one
    // stays until the connections are closed, since a lock or statement
    // of the request that met the loss may still refer to it.
    retired_.push_back(std::move(found->second));
    connections_.erase(found);
  }

  std::unique_ptr<EngineConnection> connection;
  if (paths_.engine == StoreEngine::kPostgresql) {
    connection =
        std::make_unique<PostgresConnection>(canonical, paths_.postgresql, paths_.busy_timeout_ms);
  } else {
    const std::string& path = canonical == "UserData" ? paths_.userdata : paths_.localdata;
    if (path.empty()) throw StoreError("No database file is configured for alias " + canonical);
    connection = std::make_unique<SqliteConnection>(canonical, path, create_missing_files_,
                                                    paths_.busy_timeout_ms, process_user_);
  }
  return *connections_.emplace(canonical, std::move(connection)).first->second;
}

bool Store::FieldsFound(std::string_view alias, const std::string& table_name) const {
  return tables_found_whole_.contains(CanonicalAlias(alias) + "." + table_name);
}

void Store::NoteFieldsFound(std::string_view alias, const std::string& table_name) {
  tables_found_whole_.insert(CanonicalAlias(alias) + "." + table_name);
}

bool Store::ReleaseLeftovers() {
  bool any = false;
  for (auto& [alias, connection] : connections_) {
    if (connection->ReleaseLeftovers()) any = true;
  }
  return any;
}

const TableDef& Store::Definition(std::string_view alias, std::string_view table_name) {
  const TableDef* def = FindTableDef(CanonicalAlias(alias), table_name);
  if (!def) {
    throw StoreError("Table does not exist: " + std::string(BareTableName(table_name)) +
                     " (alias " + CanonicalAlias(alias) + ")");
  }
  return *def;
}

bool Store::TableExists(std::string_view alias, std::string_view table_name) {
  const TableDef* def = FindTableDef(CanonicalAlias(alias), table_name);
  if (!def) return false;
  return Connection(alias).TableExists(def->name);
}

bool Store::CreateTable(const TableDef& table) {
  return Connection(table.alias).CreateTable(table);
}

int Store::CreateAllTables() {
  int created = 0;
  for (const TableDef& table : AllTableDefs()) {
    if (CreateTable(table)) ++created;
  }
  return created;
}

void Store::Execute(std::string_view alias, const std::string& sql) {
  Connection(alias).Execute(sql);
}

std::string Store::NoCase(std::string_view alias, std::string_view expression) {
  return Connection(alias).NoCase(expression);
}

ShortBusyWait::ShortBusyWait(Store& store, std::string_view alias, int ms)
    : connection_(store.Connection(alias)), usual_ms_(connection_.write_wait_ms()) {
  connection_.SetWriteWait(ms);
}

ShortBusyWait::~ShortBusyWait() {
  connection_.SetWriteWait(usual_ms_);
}

}  // namespace portavel
