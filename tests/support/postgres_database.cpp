#include "support/postgres_database.h"

#include <libpq-fe.h>
#include <unistd.h>

#include <atomic>
#include <memory>
#include <stdexcept>

namespace portavel::testing {
namespace {

std::string RunSql(const std::string& connection_string, const std::string& sql) {
  std::unique_ptr<PGconn, decltype(&PQfinish)> connection(PQconnectdb(connection_string.c_str()),
                                                          &PQfinish);
  if (PQstatus(connection.get()) != CONNECTION_OK) {
    return std::string("cannot connect: ") + PQerrorMessage(connection.get());
  }
  std::unique_ptr<PGresult, decltype(&PQclear)> result(PQexec(connection.get(), sql.c_str()),
                                                       &PQclear);
  const ExecStatusType status = PQresultStatus(result.get());
  if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK) {
    return PQresultErrorMessage(result.get());
  }
  return std::string();
}

}  // namespace

ScratchPostgresDatabase::ScratchPostgresDatabase(const std::string& cluster) : cluster_(cluster) {
  static std::atomic<int> counter{0};
  name_ = "test_" + std::to_string(::getpid()) + "_" + std::to_string(++counter);
  // A later keyword wins over an earlier one in a connection string.
  const std::string error =
      RunSql(cluster_ + " user=portavel_tests",
             "CREATE DATABASE " + name_ + " OWNER portavel ENCODING 'UTF8' TEMPLATE template0");
  if (!error.empty()) throw std::runtime_error("creating the test database: " + error);
  connection_string_ = cluster_ + " dbname=" + name_;
}

ScratchPostgresDatabase::~ScratchPostgresDatabase() {
  // FORCE ends what the portal's role left connected, but fails while an
  // autovacuum worker is on the database; a plain DROP stops that worker.
  const std::string as_tests = cluster_ + " user=portavel_tests";
  if (!RunSql(as_tests, "DROP DATABASE IF EXISTS " + name_ + " WITH (FORCE)").empty()) {
    RunSql(as_tests, "DROP DATABASE IF EXISTS " + name_);
  }
}

StorePaths PostgresStorePaths(const std::string& connection_string) {
  StorePaths paths;
  paths.engine = StoreEngine::kPostgresql;
  paths.postgresql = connection_string;
  return paths;
}

void RunPostgresSql(const std::string& connection_string, const std::string& sql) {
  const std::string error = RunSql(connection_string, sql);
  if (!error.empty()) throw std::runtime_error(sql + ": " + error);
}

}  // namespace portavel::testing
