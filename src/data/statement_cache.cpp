#include "data/statement_cache.h"

#include <sqlite3.h>

#include <map>
#include <mutex>
#include <string>
#include <unordered_map>

#include "data/sqlite_codec.h"

namespace portavel {
namespace {

// Statement texts come from the code, never from a request (values are
// bound), so a connection's texts are few; the cap only guards against a
// caller that builds many.
constexpr size_t kMaxKeptPerConnection = 256;

struct Kept {
  std::unordered_multimap<std::string, sqlite3_stmt*> idle;
};

// Tests open stores on several threads; the program uses one.
std::mutex& RegistryMutex() {
  static std::mutex mutex;
  return mutex;
}

std::map<sqlite3*, Kept>& Registry() {
  // Never destroyed: stores may close after static destruction has begun.
  static auto* registry = new std::map<sqlite3*, Kept>();
  return *registry;
}

}  // namespace

sqlite3_stmt* TakeStatement(sqlite3* db, const std::string& sql) {
  {
    std::lock_guard lock(RegistryMutex());
    auto kept = Registry().find(db);
    if (kept != Registry().end()) {
      auto found = kept->second.idle.find(sql);
      if (found != kept->second.idle.end()) {
        sqlite3_stmt* statement = found->second;
        kept->second.idle.erase(found);
        return statement;
      }
    }
  }
  sqlite3_stmt* statement = nullptr;
  if (sqlite3_prepare_v2(db, sql.c_str(), static_cast<int>(sql.size()), &statement, nullptr) !=
      SQLITE_OK) {
    ThrowSqliteError(db, "preparing \"" + sql + "\"");
  }
  return statement;
}

void GiveBackStatement(sqlite3_stmt* statement) {
  if (statement == nullptr) return;
  sqlite3_reset(statement);
  sqlite3_clear_bindings(statement);
  {
    std::lock_guard lock(RegistryMutex());
    auto kept = Registry().find(sqlite3_db_handle(statement));
    if (kept != Registry().end() && kept->second.idle.size() < kMaxKeptPerConnection) {
      kept->second.idle.emplace(sqlite3_sql(statement), statement);
      return;
    }
  }
  sqlite3_finalize(statement);
}

void KeepStatementsFor(sqlite3* db) {
  std::lock_guard lock(RegistryMutex());
  Registry().try_emplace(db);
}

void FinalizeKeptStatements(sqlite3* db) {
  Kept kept;
  {
    std::lock_guard lock(RegistryMutex());
    auto found = Registry().find(db);
    if (found == Registry().end()) return;
    kept = std::move(found->second);
    Registry().erase(found);
  }
  for (auto& [sql, statement] : kept.idle) sqlite3_finalize(statement);
}

}  // namespace portavel
