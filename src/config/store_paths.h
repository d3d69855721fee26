// Which engine keeps the store and where: the [database] section of the
// configuration, handed to the store that opens it. SQLite keeps each
// alias in a file of its own; PostgreSQL is reached through a libpq
// connection string.
#pragma once

#include <string>
#include <utility>

namespace portavel {

// How long a write waits for another connection's write lock before it
// fails. Concurrent request processes, the desktop program and the admin
// tool wait for each other's writes rather than fail.
inline constexpr int kStoreBusyTimeoutMs = 30000;

enum class StoreEngine { kSqlite, kPostgresql };

struct StorePaths {
  // With kPostgresql these two are empty: the configuration refuses them.
  std::string userdata;   // the UserData alias
  std::string localdata;  // the LocalData alias
  int busy_timeout_ms = kStoreBusyTimeoutMs;
  StoreEngine engine = StoreEngine::kSqlite;
  // The libpq connection string when engine is kPostgresql. It never holds
  // a password (see ConnectionStringProblem); empty with kSqlite.
  std::string postgresql;
};

// The store in two SQLite files.
inline StorePaths SqliteStorePaths(std::string userdata, std::string localdata) {
  StorePaths paths;
  paths.userdata = std::move(userdata);
  paths.localdata = std::move(localdata);
  return paths;
}

}  // namespace portavel
