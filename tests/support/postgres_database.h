// A database of its own for one test on the tests' PostgreSQL cluster,
// owned by the portal's role and dropped when the test ends, so that tests
// running side by side never see each other's tables.
#pragma once

#include <string>

#include "config/store_paths.h"

namespace portavel::testing {

class ScratchPostgresDatabase {
 public:
  // `cluster`: the cluster's connection string (TestPostgresConnectionString).
  explicit ScratchPostgresDatabase(const std::string& cluster);
  ~ScratchPostgresDatabase();
  ScratchPostgresDatabase(const ScratchPostgresDatabase&) = delete;
  ScratchPostgresDatabase& operator=(const ScratchPostgresDatabase&) = delete;

  // The connection string of the portal's role to this database.
  const std::string& connection_string() const { return connection_string_; }
  const std::string& name() const { return name_; }

 private:
  std::string cluster_;
  std::string name_;
  std::string connection_string_;
};

// The store on the PostgreSQL database of `connection_string`.
StorePaths PostgresStorePaths(const std::string& connection_string);

// Runs statements as the portal's role on a database; throws
// std::runtime_error with the server's message when they fail.
void RunPostgresSql(const std::string& connection_string, const std::string& sql);

}  // namespace portavel::testing
