// The PostgreSQL cluster the tests that need one talk to.
#pragma once

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace portavel::testing {

// The libpq connection string of the tests' cluster: PORTAVEL_TEST_POSTGRES
// when it is set (scripts/test sets it), otherwise that of a cluster this
// test program starts with scripts/pg-cluster the first time it is asked, in
// a temporary folder, and stops and removes when it exits. nullopt when
// there is none, also when PORTAVEL_SKIP_POSTGRES=1 says not to start one;
// `why_not` then says why.
std::optional<std::string> TestPostgresConnectionString(std::string* why_not = nullptr);

// The fixture of the tests that need PostgreSQL. Without a cluster the test
// fails, so that a machine without one cannot pass them unnoticed; with
// PORTAVEL_SKIP_POSTGRES=1 it is skipped instead.
class PostgresTest : public ::testing::Test {
 protected:
  void SetUp() override;
  const std::string& connection_string() const { return connection_string_; }

 private:
  std::string connection_string_;
};

}  // namespace portavel::testing
