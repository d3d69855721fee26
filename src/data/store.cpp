#include "data/store.h"

#include <sqlite3.h>
#include <unistd.h>

#include <filesystem>
#include <optional>

#include "data/sqlite_codec.h"
#include "data/sqlite_statement.h"
#include "data/statement_cache.h"
#include "data/table_catalog.h"
#include "text/cp1252.h"

namespace portavel {
namespace {

int CompareNoCase(void*, int left_size, const void* left, int right_size, const void* right) {
  return CompareNoCase1252(
      std::string_view(static_cast<const char*>(left), static_cast<size_t>(left_size)),
      std::string_view(static_cast<const char*>(right), static_cast<size_t>(right_size)));
}

// Why a database file that opened cannot be written by this process, or
// nothing when it can. SQLite opens such a file read-only without a word,
// and every write then fails with a bare "attempt to write a readonly
// database".
std::optional<std::string> UnwritableReason(sqlite3* db, const std::string& path) {
  if (sqlite3_db_readonly(db, "main") == 1) {
    return "the file is not writable for";
  }
  std::filesystem::path folder = std::filesystem::path(path).parent_path();
  if (folder.empty()) folder = ".";
  if (::access(folder.c_str(), W_OK | X_OK) != 0) {
    return "its folder " + folder.string() +
           " (where the write-ahead log and its index are made) is not writable for";
  }
  return std::nullopt;
}

std::string IndexSqlName(const TableDef& table, const IndexDef& index) {
  return QuoteIdentifier(table.name + "_" + index.name);
}

}  // namespace

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
  for (auto& [alias, db] : connections_) {
    FinalizeKeptStatements(db);
    sqlite3_close_v2(db);
  }
  connections_.clear();
}

std::string Store::CanonicalAlias(std::string_view alias) {
  if (EqualsNoCase1252(alias, "UserData")) return "UserData";
  if (EqualsNoCase1252(alias, "LocalData")) return "LocalData";
  throw StoreError("Unknown database alias '" + std::string(alias) + "'");
}

sqlite3* Store::Connection(std::string_view alias) {
  std::string canonical = CanonicalAlias(alias);
  auto found = connections_.find(canonical);
  if (found != connections_.end()) return found->second;

  const std::string& path = canonical == "UserData" ? paths_.userdata : paths_.localdata;
  if (path.empty()) throw StoreError("No database file is configured for alias " + canonical);
  int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX;
  if (create_missing_files_) flags |= SQLITE_OPEN_CREATE;
  sqlite3* db = nullptr;
  if (sqlite3_open_v2(path.c_str(), &db, flags, nullptr) != SQLITE_OK) {
    std::string message = db ? sqlite3_errmsg(db) : "out of memory";
    sqlite3_close_v2(db);
    throw StoreError("Cannot open the " + canonical + " database " + path + ": " + message);
  }
  if (std::optional<std::string> reason = UnwritableReason(db, path)) {
    sqlite3_close_v2(db);
    const std::string user = process_user_.empty() ? "this process" : "user " + process_user_;
    throw StoreError("The " + canonical + " database " + path + " cannot be written: " + *reason +
                     " " + user + ". Give that user the file and its folder.");
  }
  sqlite3_busy_timeout(db, paths_.busy_timeout_ms);
  // A double-quoted name must never silently become a string literal: a
  // missing field has to fail, not read as its own name.
  sqlite3_db_config(db, SQLITE_DBCONFIG_DQS_DML, 0, nullptr);
  sqlite3_db_config(db, SQLITE_DBCONFIG_DQS_DDL, 0, nullptr);
  sqlite3_create_collation_v2(db, kNoCaseCollation, SQLITE_UTF8, nullptr, CompareNoCase, nullptr);
  connections_.emplace(canonical, db);
  KeepStatementsFor(db);
  Execute(canonical, "PRAGMA journal_mode=WAL");
  Execute(canonical, "PRAGMA synchronous=NORMAL");
  return db;
}

bool Store::FieldsFound(std::string_view alias, const std::string& table_name) const {
  return tables_found_whole_.contains(CanonicalAlias(alias) + "." + table_name);
}

void Store::NoteFieldsFound(std::string_view alias, const std::string& table_name) {
  tables_found_whole_.insert(CanonicalAlias(alias) + "." + table_name);
}

bool Store::ReleaseLeftovers() {
  bool any = false;
  for (auto& [alias, db] : connections_) {
    for (sqlite3_stmt* statement = sqlite3_next_stmt(db, nullptr); statement != nullptr;
         statement = sqlite3_next_stmt(db, statement)) {
      if (sqlite3_stmt_busy(statement)) {
        sqlite3_reset(statement);
        any = true;
      }
    }
    if (!sqlite3_get_autocommit(db)) {
      sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
      any = true;
    }
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
  Statement stmt(Connection(alias),
                 "SELECT 1 FROM sqlite_schema WHERE type='table' AND name=?1 COLLATE NOCASE");
  stmt.Bind(1, Value::Text(def->name));
  return stmt.Step();
}

bool Store::CreateTable(const TableDef& table) {
  bool created = false;
  if (!TableExists(table.alias, table.name)) {
    std::string sql = "CREATE TABLE " + QuoteIdentifier(table.name) + " (";
    for (size_t i = 0; i < table.fields.size(); ++i) {
      if (i > 0) sql += ", ";
      sql += QuoteIdentifier(table.fields[i].name) + " " + SqlColumnType(table.fields[i]);
    }
    Execute(table.alias, sql + ")");
    created = true;
  }
  for (const IndexDef& index : table.indexes) {
    std::string sql = "CREATE INDEX IF NOT EXISTS " + IndexSqlName(table, index) + " ON " +
                      QuoteIdentifier(table.name) + " (";
    for (size_t i = 0; i < index.fields.size(); ++i) {
      const IndexField& f = index.fields[i];
      if (i > 0) sql += ", ";
      sql += QuoteIdentifier(f.name);
      if (f.case_insensitive) sql += std::string(" COLLATE ") + kNoCaseCollation;
      if (f.descending) sql += " DESC";
    }
    Execute(table.alias, sql + ")");
  }
  return created;
}

int Store::CreateAllTables() {
  int created = 0;
  for (const TableDef& table : AllTableDefs()) {
    if (CreateTable(table)) ++created;
  }
  return created;
}

void Store::Execute(std::string_view alias, const std::string& sql) {
  sqlite3* db = Connection(alias);
  char* error = nullptr;
  if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
    std::string message = error ? error : sqlite3_errmsg(db);
    sqlite3_free(error);
    throw StoreError(message);
  }
}

ShortBusyWait::ShortBusyWait(Store& store, std::string_view alias, int ms)
    : db_(store.Connection(alias)), usual_ms_(store.busy_timeout_ms()) {
  sqlite3_busy_timeout(db_, ms);
}

ShortBusyWait::~ShortBusyWait() {
  sqlite3_busy_timeout(db_, usual_ms_);
}

}  // namespace portavel
