// The replacement for the dealer's database engine: the tables of two
// aliases ("UserData", "LocalData") laid out by the table catalog, each
// alias on a connection of its own to the engine that holds it.
#pragma once

#include <map>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "config/store_paths.h"
#include "data/engine.h"
#include "data/field_type.h"
#include "data/value.h"

namespace portavel {

class Store {
 public:
  // A store never creates a missing database file unless asked to (the
  // admin tool's set-up does): a wrong path must not silently give an
  // empty database.
  explicit Store(StorePaths paths, bool create_missing_files = false);
  ~Store();
  Store(const Store&) = delete;
  Store& operator=(const Store&) = delete;

  // The open connection of an alias (any case), opened on first use.
  // Throws StoreError for an unknown alias and for a database that cannot
  // be opened or that this process could only read.
  EngineConnection& Connection(std::string_view alias);
  // The user this process runs as, named when a file cannot be written.
  void SetProcessUser(std::string user) { process_user_ = std::move(user); }
  // "UserData" or "LocalData" for any spelling of either.
  static std::string CanonicalAlias(std::string_view alias);

  // The catalog definition of a table; throws StoreError when unknown.
  const TableDef& Definition(std::string_view alias, std::string_view table_name);
  bool TableExists(std::string_view alias, std::string_view table_name);
  // Creates the table and its indexes when missing; adds indexes that are
  // missing on an existing table. Never drops or changes data. True when
  // the table itself was created.
  bool CreateTable(const TableDef& table);
  // CreateTable for every catalog table. Returns how many tables it made.
  int CreateAllTables();

  // Runs a statement with no parameters and no result (DDL, pragmas).
  void Execute(std::string_view alias, const std::string& sql);
  // `expression` compared or ordered without regard to the case of
  // windows-1252 letters, in the alias's engine's spelling.
  std::string NoCase(std::string_view alias, std::string_view expression);

  // Whether NoteFieldsFound was called for the table on this store: a data
  // set found every field the catalog declares for it in the database.
  bool FieldsFound(std::string_view alias, const std::string& table_name) const;
  void NoteFieldsFound(std::string_view alias, const std::string& table_name);

  // For a process that serves one request after another on this store:
  // resets the statements a request left stepping (each holds a read
  // snapshot that would hide later writes of other processes) and rolls
  // back a transaction it left open. True when anything was left.
  bool ReleaseLeftovers();

  // Closes every connection; the next use opens it afresh. A process that
  // serves one request after another calls this when a request is done, so
  // that between requests it holds no database file, write-ahead log or
  // shared-memory index open. A database file replaced while nothing holds
  // it (a restore moved into place) is then read exactly as restored, by
  // this process and by any other: a log left open beside the old file
  // would otherwise be applied to the new one.
  void CloseConnections();
  // What a process that serves one request after another lets go of once
  // it is idle: the connections that hold database files open, closed as
  // CloseConnections closes them. A connection to a database server holds
  // no file and stays, with its prepared statements, for the next request.
  void CloseFileConnections();
  // Before each request of such a process: drops the kept server
  // connections the server ended since the last request, so that the
  // request connects afresh instead of failing on one that is gone.
  // Never connects, never throws for a lost connection.
  void DropLostConnections();

 private:
  StorePaths paths_;
  bool create_missing_files_;
  std::string process_user_;
  std::map<std::string, std::unique_ptr<EngineConnection>> connections_;
  std::vector<std::unique_ptr<EngineConnection>> retired_;
  std::set<std::string> tables_found_whole_;  // "alias.table"
};

// While it lives, writes on the alias's connection give up after `ms` on a
// locked store instead of the usual wait; then the usual wait returns. For
// the writes a visitor should not wait for.
class ShortBusyWait {
 public:
  ShortBusyWait(Store& store, std::string_view alias, int ms);
  ~ShortBusyWait();
  ShortBusyWait(const ShortBusyWait&) = delete;
  ShortBusyWait& operator=(const ShortBusyWait&) = delete;

 private:
  EngineConnection& connection_;
  int usual_ms_;
};

// Quotes an identifier from the catalog for SQL ("Tank Location" has a
// blank in it).
std::string QuoteIdentifier(std::string_view name);

}  // namespace portavel
