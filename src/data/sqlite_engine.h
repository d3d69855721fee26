// The embedded engine: each alias is one SQLite file, opened with a
// write-ahead log, a busy timeout and the windows-1252 collation.
#pragma once

#include <memory>
#include <string>

#include "data/engine.h"

struct sqlite3;

namespace portavel {

// Name of the collation that compares windows-1252 text without regard
// to case. Registered on every connection.
inline constexpr const char* kNoCaseCollation = "CP1252_NOCASE";

class SqliteConnection : public EngineConnection {
 public:
  // Opens the file of `alias`. Throws StoreError for a file that cannot be
  // opened, and for one that this process could only read: the file or its
  // folder (where the log and index files go) is not writable for it;
  // `process_user` names the user in that message.
  SqliteConnection(const std::string& alias, const std::string& path, bool create_missing_file,
                   int write_wait_ms, const std::string& process_user);
  ~SqliteConnection() override;
  SqliteConnection(const SqliteConnection&) = delete;
  SqliteConnection& operator=(const SqliteConnection&) = delete;

  std::unique_ptr<EngineStatement> Prepare(const std::string& sql) override;
  void Execute(const std::string& sql) override;
  void BeginWriteTransaction() override;
  bool InTransaction() override;
  void SetWriteWait(int ms) override;
  int write_wait_ms() const override { return write_wait_ms_; }
  int64_t TotalChanges() override;
  std::string NoCase(std::string_view expression) const override;
  std::string OrderTerm(std::string_view expression, bool descending) const override {
    return std::string(expression) + (descending ? " DESC" : "");
  }
  std::string AsBytes(std::string_view expression) const override {
    return "CAST(" + std::string(expression) + " AS BLOB)";
  }
  bool TableExists(std::string_view table) override;
  bool ColumnExists(std::string_view table, std::string_view column) override;
  bool CreateTable(const TableDef& table) override;
  bool ReleaseLeftovers() override;
  std::vector<std::string> IntegrityProblems() override;
  // One byte per key of the file "<database>.<name>.lock", beside the
  // database, where every process that writes the store can make files.
  std::unique_ptr<HeldLock> HoldLock(std::string_view name, int32_t key) override;

  // The SQLite handle, for the tools that read SQLite's own reports.
  sqlite3* handle() const { return db_; }

 private:
  sqlite3* db_ = nullptr;
  std::string path_;
  int write_wait_ms_;
};

}  // namespace portavel
