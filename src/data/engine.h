// What the store asks of a database engine. The store, its data sets and
// its queries speak to a connection through these two interfaces and never
// to an engine's own library, so that nothing above the store knows which
// engine holds the tables.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "data/field_type.h"
#include "data/value.h"

namespace portavel {

// One prepared statement. Parameters are written "?" or ":Name" in the
// text and numbered from 1 in the order they appear. Errors throw
// StoreError, or StoreBusyError when another connection held a lock for
// longer than the connection's write wait.
class EngineStatement {
 public:
  virtual ~EngineStatement() = default;

  virtual std::string sql() const = 0;
  virtual int ParameterCount() const = 0;
  // The name of a parameter without its colon; "" for a "?".
  virtual std::string ParameterName(int index) const = 0;
  // Currency binds as ten-thousandths, dates in the store's ISO text, an
  // empty text or byte string as null.
  virtual void Bind(int index, const Value& value) = 0;

  // Runs the statement or moves to its next row: true while a row is
  // available.
  virtual bool Step() = 0;
  // Back to before the first Step; the bindings stay.
  virtual void Reset() = 0;
  virtual void ClearBindings() = 0;

  // The current row.
  virtual int ColumnCount() const = 0;
  virtual std::string ColumnName(int column) const = 0;
  // The type of the table field a result column comes from; nullopt for
  // an expression (a sum, a count, arithmetic).
  virtual std::optional<FieldDef> ColumnField(int column) const = 0;
  // A column as a value of a field's type.
  virtual Value ReadColumn(int column, const FieldDef& field) const = 0;
  // A column by what the engine holds: integer, float, text or bytes.
  virtual Value ReadUntypedColumn(int column) const = 0;
  int64_t ReadInteger(int column) const { return ReadUntypedColumn(column).AsInteger(); }

  // The rows the statement's last run inserted, changed or deleted.
  virtual int64_t Changes() const = 0;
};

// A lock across processes, held until it is destroyed.
class HeldLock {
 public:
  virtual ~HeldLock() = default;
};

// One connection to one alias's tables.
class EngineConnection {
 public:
  virtual ~EngineConnection() = default;

  // A statement ready to bind and step; a connection may keep statements
  // it prepared before and hand them out again. Throws StoreError when the
  // text does not prepare.
  virtual std::unique_ptr<EngineStatement> Prepare(const std::string& sql) = 0;
  // Runs statements with no parameters and no result (DDL, transaction
  // control).
  virtual void Execute(const std::string& sql) = 0;

  // Starts a write transaction holding the alias's write lock at once, so
  // that what it reads cannot turn stale before it writes; waits for
  // another writer as long as the write wait allows.
  virtual void BeginWriteTransaction() = 0;
  virtual bool InTransaction() = 0;
  // How long a write waits for another connection's lock, in ms.
  virtual void SetWriteWait(int ms) = 0;
  virtual int write_wait_ms() const = 0;
  // Counts every row this connection has written so far; unchanged means
  // nothing was written in between.
  virtual int64_t TotalChanges() = 0;

  // `expression` in the engine's spelling of a comparison or order that
  // disregards the case of windows-1252 letters.
  virtual std::string NoCase(std::string_view expression) const = 0;
  // `expression` as a term of ORDER BY, empty values (null) first in an
  // ascending order and last in a descending one, as SQLite orders them.
  virtual std::string OrderTerm(std::string_view expression, bool descending) const = 0;
  // `expression` compared as the bytes it holds, text or not.
  virtual std::string AsBytes(std::string_view expression) const = 0;

  virtual bool TableExists(std::string_view table) = 0;
  virtual bool ColumnExists(std::string_view table, std::string_view column) = 0;
  // Creates the table when missing and its missing indexes; true when the
  // table itself was made. Every table has a "rowid" column that names a
  // row for as long as it lives, in the order rows were added.
  virtual bool CreateTable(const TableDef& table) = 0;

  // For a process that serves one request after another: ends statements
  // a request left running and rolls back a transaction it left open. True
  // when anything was left.
  virtual bool ReleaseLeftovers() = 0;
  // What the engine's own check of the stored data finds wrong; empty when
  // nothing.
  virtual std::vector<std::string> IntegrityProblems() = 0;
  // Takes lock `key` of the set `name` (letters only) for every process
  // and machine that uses the store, waiting as long as another holds it.
  // Throws StoreError when it cannot be taken.
  virtual std::unique_ptr<HeldLock> HoldLock(std::string_view name, int32_t key) = 0;
  // True once the connection to a server is lost; the store then opens a
  // new one at its next use.
  virtual bool IsBroken() { return false; }
  // IsBroken for a connection kept from an earlier request, after taking
  // in, without waiting, what the server sent meanwhile: a connection the
  // server ended while it lay idle (a restart, an administrator, an idle
  // time-out) shows as broken before a statement is sent on it. Only
  // between requests: within one, work may rest on the old connection (a
  // transaction, a held lock) that a new one would silently lack.
  virtual bool FoundLostWhileIdle() { return IsBroken(); }
  // Whether the connection holds database files open (their journals
  // included), which a process must let go of when it is idle; a
  // connection to a server holds none.
  virtual bool HoldsFiles() const { return true; }
};

}  // namespace portavel
