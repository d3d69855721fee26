#include "data/sqlite_engine.h"

#include <fcntl.h>
#include <sqlite3.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include <filesystem>
#include <optional>

#include "data/sqlite_codec.h"
#include "data/statement_cache.h"
#include "data/store.h"
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

// A statement from the connection's kept ones, given back when done.
class SqliteStatement : public EngineStatement {
 public:
  SqliteStatement(sqlite3* db, const std::string& sql) : db_(db), stmt_(TakeStatement(db, sql)) {}
  ~SqliteStatement() override { GiveBackStatement(stmt_); }
  SqliteStatement(const SqliteStatement&) = delete;
  SqliteStatement& operator=(const SqliteStatement&) = delete;

  std::string sql() const override { return sqlite3_sql(stmt_); }
  int ParameterCount() const override { return sqlite3_bind_parameter_count(stmt_); }
  std::string ParameterName(int index) const override {
    const char* name = sqlite3_bind_parameter_name(stmt_, index);
    return name && name[0] == ':' ? name + 1 : "";
  }
  void Bind(int index, const Value& value) override { BindValue(stmt_, index, value); }

  bool Step() override {
    int rc = sqlite3_step(stmt_);
    if (rc == SQLITE_ROW) return true;
    if (rc == SQLITE_DONE) return false;
    ThrowSqliteError(db_, "running \"" + sql() + "\"");
  }
  void Reset() override { sqlite3_reset(stmt_); }
  void ClearBindings() override { sqlite3_clear_bindings(stmt_); }

  int ColumnCount() const override { return sqlite3_column_count(stmt_); }
  std::string ColumnName(int column) const override {
    const char* name = sqlite3_column_name(stmt_, column);
    return name ? name : "";
  }
  std::optional<FieldDef> ColumnField(int column) const override {
    const char* declared = sqlite3_column_decltype(stmt_, column);
    if (!declared) return std::nullopt;
    return FieldDefOfSqlType(declared);
  }
  Value ReadColumn(int column, const FieldDef& field) const override {
    return portavel::ReadColumn(stmt_, column, field);
  }
  Value ReadUntypedColumn(int column) const override {
    return portavel::ReadUntypedColumn(stmt_, column);
  }
  int64_t Changes() const override { return sqlite3_changes64(db_); }

 private:
  sqlite3* db_;
  sqlite3_stmt* stmt_;
};

// One byte of a lock file. Open-file-description locks belong to this open
// file, not to the process, so a FastCGI process that opens the file again
// for another request never shares or drops a lock by accident.
class FileByteLock : public HeldLock {
 public:
  FileByteLock(const std::string& lock_path, int32_t key) {
    fd_ = ::open(lock_path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0660);
    if (fd_ < 0) {
      throw StoreError("cannot open the lock file " + lock_path + ": " + std::strerror(errno));
    }
    struct flock region {};
    region.l_type = F_WRLCK;
    region.l_whence = SEEK_SET;
    region.l_start = static_cast<off_t>(static_cast<uint32_t>(key));
    region.l_len = 1;
    while (::fcntl(fd_, F_OFD_SETLKW, &region) != 0) {
      if (errno == EINTR) continue;
      const int error = errno;
      ::close(fd_);
      throw StoreError("cannot lock " + lock_path + ": " + std::strerror(error));
    }
  }
  // Closing the only descriptor of the open file releases its locks.
  ~FileByteLock() override { ::close(fd_); }
  FileByteLock(const FileByteLock&) = delete;
  FileByteLock& operator=(const FileByteLock&) = delete;

 private:
  int fd_ = -1;
};

}  // namespace

SqliteConnection::SqliteConnection(const std::string& alias, const std::string& path,
                                   bool create_missing_file, int write_wait_ms,
                                   const std::string& process_user)
    : path_(path), write_wait_ms_(write_wait_ms) {
  int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX;
  if (create_missing_file) flags |= SQLITE_OPEN_CREATE;
  if (sqlite3_open_v2(path.c_str(), &db_, flags, nullptr) != SQLITE_OK) {
    std::string message = db_ ? sqlite3_errmsg(db_) : "out of memory";
    sqlite3_close_v2(db_);
    throw StoreError("Cannot open the " + alias + " database " + path + ": " + message);
  }
  if (std::optional<std::string> reason = UnwritableReason(db_, path)) {
    sqlite3_close_v2(db_);
    const std::string user = process_user.empty() ? "this process" : "user " + process_user;
    throw StoreError("The " + alias + " database " + path + " cannot be written: " + *reason + " " +
                     user + ". Give that user the file and its folder.");
  }
  sqlite3_busy_timeout(db_, write_wait_ms_);
  // A double-quoted name must never silently become a string literal: a
  // missing field has to fail, not read as its own name.
  sqlite3_db_config(db_, SQLITE_DBCONFIG_DQS_DML, 0, nullptr);
  sqlite3_db_config(db_, SQLITE_DBCONFIG_DQS_DDL, 0, nullptr);
  sqlite3_create_collation_v2(db_, kNoCaseCollation, SQLITE_UTF8, nullptr, CompareNoCase, nullptr);
  KeepStatementsFor(db_);
  try {
    Execute("PRAGMA journal_mode=WAL");
    Execute("PRAGMA synchronous=NORMAL");
  } catch (...) {
    FinalizeKeptStatements(db_);
    sqlite3_close_v2(db_);
    throw;
  }
}

SqliteConnection::~SqliteConnection() {
  FinalizeKeptStatements(db_);
  sqlite3_close_v2(db_);
}

std::unique_ptr<EngineStatement> SqliteConnection::Prepare(const std::string& sql) {
  return std::make_unique<SqliteStatement>(db_, sql);
}

void SqliteConnection::Execute(const std::string& sql) {
  char* error = nullptr;
  if (sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
    std::string message = error ? error : sqlite3_errmsg(db_);
    sqlite3_free(error);
    if ((sqlite3_errcode(db_) & 0xFF) == SQLITE_BUSY) throw StoreBusyError(message);
    throw StoreError(message);
  }
}

void SqliteConnection::BeginWriteTransaction() {
  Execute("BEGIN IMMEDIATE");
}

bool SqliteConnection::InTransaction() {
  return sqlite3_get_autocommit(db_) == 0;
}

void SqliteConnection::SetWriteWait(int ms) {
  write_wait_ms_ = ms;
  sqlite3_busy_timeout(db_, ms);
}

int64_t SqliteConnection::TotalChanges() {
  return sqlite3_total_changes64(db_);
}

std::string SqliteConnection::NoCase(std::string_view expression) const {
  return std::string(expression) + " COLLATE " + kNoCaseCollation;
}

bool SqliteConnection::TableExists(std::string_view table) {
  SqliteStatement stmt(db_,
                       "SELECT 1 FROM sqlite_schema WHERE type='table' AND name=?1 COLLATE NOCASE");
  stmt.Bind(1, Value::Text(std::string(table)));
  return stmt.Step();
}

bool SqliteConnection::ColumnExists(std::string_view table, std::string_view column) {
  return sqlite3_table_column_metadata(db_, nullptr, std::string(table).c_str(),
                                       std::string(column).c_str(), nullptr, nullptr, nullptr,
                                       nullptr, nullptr) == SQLITE_OK;
}

bool SqliteConnection::CreateTable(const TableDef& table) {
  bool created = false;
  if (!TableExists(table.name)) {
    // SQLite's own rowid names each row.
    std::string sql = "CREATE TABLE " + QuoteIdentifier(table.name) + " (";
    for (size_t i = 0; i < table.fields.size(); ++i) {
      if (i > 0) sql += ", ";
      sql += QuoteIdentifier(table.fields[i].name) + " " + SqlColumnType(table.fields[i]);
    }
    Execute(sql + ")");
    created = true;
  }
  for (const IndexDef& index : table.indexes) {
    std::string sql = "CREATE INDEX IF NOT EXISTS " + IndexSqlName(table, index) + " ON " +
                      QuoteIdentifier(table.name) + " (";
    for (size_t i = 0; i < index.fields.size(); ++i) {
      const IndexField& f = index.fields[i];
      if (i > 0) sql += ", ";
      sql += f.case_insensitive ? NoCase(QuoteIdentifier(f.name)) : QuoteIdentifier(f.name);
      if (f.descending) sql += " DESC";
    }
    Execute(sql + ")");
  }
  return created;
}

bool SqliteConnection::ReleaseLeftovers() {
  bool any = false;
  for (sqlite3_stmt* statement = sqlite3_next_stmt(db_, nullptr); statement != nullptr;
       statement = sqlite3_next_stmt(db_, statement)) {
    if (sqlite3_stmt_busy(statement)) {
      sqlite3_reset(statement);
      any = true;
    }
  }
  if (InTransaction()) {
    sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    any = true;
  }
  return any;
}

std::unique_ptr<HeldLock> SqliteConnection::HoldLock(std::string_view name, int32_t key) {
  return std::make_unique<FileByteLock>(path_ + "." + std::string(name) + ".lock", key);
}

std::vector<std::string> SqliteConnection::IntegrityProblems() {
  std::vector<std::string> problems;
  // The whole report, not just its first hundred lines: whoever restores
  // a copy wants to know everything that is wrong with it.
  SqliteStatement check(db_, "PRAGMA integrity_check(1000000)");
  while (check.Step()) {
    std::string line = check.ReadUntypedColumn(0).AsString();
    if (line != "ok") problems.push_back(std::move(line));
  }
  return problems;
}

}  // namespace portavel
