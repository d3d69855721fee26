// The client-server engine: each alias is a schema ("userdata",
// "localdata") of one PostgreSQL database, reached through libpq with a
// connection of its own. Text travels as UTF-8 and is converted from and
// to windows-1252 here, so every byte but zero keeps its value. A write
// transaction holds the alias's advisory lock, and so does every write
// made outside one, so that writers take turns as they do on an SQLite
// file and a transaction's reads cannot turn stale before it writes.
#pragma once

#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <utility>

#include "data/engine.h"
#include "platform/libpq_library.h"

namespace portavel {

class PostgresConnection : public EngineConnection {
 public:
  // Connects with the libpq connection string. Throws StoreError when the
  // server cannot be reached or refuses.
  PostgresConnection(const std::string& alias, const std::string& connection_string,
                     int write_wait_ms);
  ~PostgresConnection() override;
  PostgresConnection(const PostgresConnection&) = delete;
  PostgresConnection& operator=(const PostgresConnection&) = delete;

  std::unique_ptr<EngineStatement> Prepare(const std::string& sql) override;
  void Execute(const std::string& sql) override;
  void BeginWriteTransaction() override;
  bool InTransaction() override;
  void SetWriteWait(int ms) override;
  int write_wait_ms() const override { return write_wait_ms_; }
  int64_t TotalChanges() override { return total_changes_; }
  std::string NoCase(std::string_view expression) const override;
  // PostgreSQL orders nulls the other way round.
  std::string OrderTerm(std::string_view expression, bool descending) const override {
    return std::string(expression) + (descending ? " DESC NULLS LAST" : " NULLS FIRST");
  }
  // Text compares byte for byte in every deterministic collation.
  std::string AsBytes(std::string_view expression) const override {
    return std::string(expression);
  }
  bool TableExists(std::string_view table) override;
  bool ColumnExists(std::string_view table, std::string_view column) override;
  bool CreateTable(const TableDef& table) override;
  bool ReleaseLeftovers() override;
  std::vector<std::string> IntegrityProblems() override;
  // A session advisory lock of (a number for `name`, key): it outlives
  // transactions, is released when the object goes, and by the server
  // when the connection is lost.
  std::unique_ptr<HeldLock> HoldLock(std::string_view name, int32_t key) override;
  bool IsBroken() override;
  bool FoundLostWhileIdle() override;
  bool HoldsFiles() const override { return false; }

  // For the statements of this connection.
  struct Prepared {
    std::string name;
    std::string text;  // with $n parameters
    std::vector<std::string> parameter_names;
    bool writes = false;
  };
  const Prepared& PrepareOnce(const std::string& sql);
  // Runs a prepared statement; the result is the caller's. Writes outside
  // a transaction take the alias's lock for their own short transaction.
  PGresult* Run(const Prepared& prepared, const std::vector<std::optional<std::string>>& values,
                const std::vector<int>& formats);
  // The catalog field a result column comes from.
  std::optional<FieldDef> FieldOf(unsigned table_oid, int column_number);
  void AddChanges(int64_t rows) { total_changes_ += rows; }
  const LibpqLibrary& pq() const { return *pq_; }
  // Throws StoreError (StoreBusyError for a lock wait that ran out) for a
  // failed result, which it clears; the message, naming what was being
  // done to `sql`, is made only then.
  void CheckResult(PGresult* result, std::string_view doing, const std::string& sql);

 private:
  PGresult* ExecSimple(const std::string& sql);
  void ExecChecked(const std::string& sql);
  void TakeWriteLock();

  const LibpqLibrary* pq_ = nullptr;
  PGconn* connection_ = nullptr;
  std::string alias_;
  std::string schema_;
  int write_wait_ms_;
  int64_t total_changes_ = 0;
  std::map<std::string, Prepared> prepared_;
  std::map<std::pair<unsigned, int>, std::optional<FieldDef>> fields_;
  // The columns of each table asked about, as the catalog names them.
  std::map<std::string, std::set<std::string, std::less<>>, std::less<>> columns_;
};

}  // namespace portavel
