// The tests' PostgreSQL cluster (scripts/pg-cluster) as the store will use
// it: an ordinary role, a UTF8 database, and a session that speaks
// windows-1252, the program's own text encoding. Through libpq directly.
#include <gtest/gtest.h>
#include <libpq-fe.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "support/postgres_cluster.h"
#include "text/cp1252.h"

namespace portavel {
namespace {

using Connection = std::unique_ptr<PGconn, decltype(&PQfinish)>;
using Result = std::unique_ptr<PGresult, decltype(&PQclear)>;

// The bytes windows-1252 leaves undefined.
constexpr unsigned char kUndefinedBytes[] = {0x81, 0x8D, 0x8F, 0x90, 0x9D};

std::string HexByte(unsigned int byte) {
  char text[8];
  std::snprintf(text, sizeof text, "0x%02x", byte);
  return text;
}

std::string Hex(const std::string& bytes) {
  std::string hex;
  for (unsigned char byte : bytes) hex += HexByte(byte).substr(2);
  return hex;
}

class PostgresClusterTest : public testing::PostgresTest {
 protected:
  void SetUp() override {
    testing::PostgresTest::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    // With expand_dbname the first "dbname" is the whole connection string
    // and the client_encoding after it wins over any it holds.
    const char* keys[] = {"dbname", "client_encoding", nullptr};
    const char* values[] = {connection_string().c_str(), "WIN1252", nullptr};
    connection_.reset(PQconnectdbParams(keys, values, /*expand_dbname=*/1));
    ASSERT_EQ(PQstatus(connection_.get()), CONNECTION_OK) << PQerrorMessage(connection_.get());
  }

  // Parameters go as text, in the session's encoding.
  Result Exec(const std::string& sql, const std::vector<std::string>& parameters = {}) {
    std::vector<const char*> values;
    for (const std::string& parameter : parameters) values.push_back(parameter.c_str());
    return Result(PQexecParams(connection_.get(), sql.c_str(), static_cast<int>(values.size()),
                               nullptr, values.data(), nullptr, nullptr, /*resultFormat=*/0),
                  &PQclear);
  }

  static std::string Error(const Result& result) { return PQresultErrorMessage(result.get()); }
  static std::string State(const Result& result) {
    const char* state = PQresultErrorField(result.get(), PG_DIAG_SQLSTATE);
    return state != nullptr ? state : "";
  }

  Connection connection_{nullptr, &PQfinish};
};

TEST_F(PostgresClusterTest, ConnectsAsAnOrdinaryRoleToAUtf8Database) {
  Result result = Exec(
      "SELECT r.rolsuper, r.rolcreatedb, r.rolcreaterole, pg_encoding_to_char(d.encoding) "
      "FROM pg_roles r, pg_database d "
      "WHERE r.rolname = current_user AND d.datname = current_database()");
  ASSERT_EQ(PQresultStatus(result.get()), PGRES_TUPLES_OK) << Error(result);
  ASSERT_EQ(PQntuples(result.get()), 1);
  EXPECT_STREQ(PQgetvalue(result.get(), 0, 0), "f") << "superuser";
  EXPECT_STREQ(PQgetvalue(result.get(), 0, 1), "f") << "may create databases";
  EXPECT_STREQ(PQgetvalue(result.get(), 0, 2), "f") << "may create roles";
  EXPECT_STREQ(PQgetvalue(result.get(), 0, 3), "UTF8");
  EXPECT_STREQ(pg_encoding_to_char(PQclientEncoding(connection_.get())), "WIN1252");
}

// Each byte is stored as the Unicode character our own windows-1252
// conversion gives it, and comes back as the same byte.
TEST_F(PostgresClusterTest, KeepsEveryDefinedWindows1252ByteAsItsUnicodeCharacter) {
  Result created = Exec("CREATE TEMP TABLE texts (byte integer PRIMARY KEY, value text NOT NULL)");
  ASSERT_EQ(PQresultStatus(created.get()), PGRES_COMMAND_OK) << Error(created);
  std::vector<unsigned int> defined;
  for (unsigned int byte = 0x20; byte <= 0xFF; ++byte) {
    if (std::find(std::begin(kUndefinedBytes), std::end(kUndefinedBytes), byte) ==
        std::end(kUndefinedBytes)) {
      defined.push_back(byte);
    }
  }
  for (unsigned int byte : defined) {
    Result inserted = Exec("INSERT INTO texts VALUES ($1::integer, $2)",
                           {std::to_string(byte), std::string(1, static_cast<char>(byte))});
    ASSERT_EQ(PQresultStatus(inserted.get()), PGRES_COMMAND_OK) << HexByte(byte) << Error(inserted);
  }

  Result stored =
      Exec("SELECT byte, value, encode(convert_to(value, 'UTF8'), 'hex') FROM texts ORDER BY byte");
  ASSERT_EQ(PQresultStatus(stored.get()), PGRES_TUPLES_OK) << Error(stored);
  ASSERT_EQ(PQntuples(stored.get()), static_cast<int>(defined.size()));
  for (int row = 0; row < PQntuples(stored.get()); ++row) {
    const unsigned int byte = defined[row];
    const std::string sent(1, static_cast<char>(byte));
    EXPECT_EQ(PQgetvalue(stored.get(), row, 0), std::to_string(byte));
    EXPECT_EQ(PQgetvalue(stored.get(), row, 1), sent) << HexByte(byte) << " did not come back";
    EXPECT_EQ(PQgetvalue(stored.get(), row, 2), Hex(Cp1252ToUtf8(sent)))
        << HexByte(byte) << " is stored as another character";
  }
}

// The undefined bytes have no character in PostgreSQL's windows-1252: such
// a byte sent is refused, and the C1 control our own conversion makes of it
// (U+0081 for 0x81) cannot be read in a windows-1252 session, nor can a
// character outside windows-1252 (U+0100). Reading fails for the whole
// statement, not just the row.
TEST_F(PostgresClusterTest, RefusesTheUndefinedBytesBothWays) {
  for (unsigned char byte : kUndefinedBytes) {
    SCOPED_TRACE(HexByte(byte));
    Result sent = Exec("SELECT $1::text", {std::string(1, static_cast<char>(byte))});
    EXPECT_EQ(PQresultStatus(sent.get()), PGRES_FATAL_ERROR);
    EXPECT_EQ(State(sent), "22P05");  // untranslatable_character
    EXPECT_NE(Error(sent).find("character with byte sequence " + HexByte(byte) +
                               " in encoding \"WIN1252\" has no equivalent in encoding \"UTF8\""),
              std::string::npos)
        << Error(sent);
  }

  struct Case {
    int code_point;
    const char* utf8_bytes;  // as the error message names them
  };
  const Case unreadable[] = {
      {0x81, "0xc2 0x81"}, {0x8D, "0xc2 0x8d"}, {0x8F, "0xc2 0x8f"},
      {0x90, "0xc2 0x90"}, {0x9D, "0xc2 0x9d"}, {0x100, "0xc4 0x80"},
  };
  for (const Case& c : unreadable) {
    SCOPED_TRACE(c.utf8_bytes);
    Result read = Exec("SELECT 'a', chr($1::integer) UNION ALL SELECT 'b', 'c'",
                       {std::to_string(c.code_point)});
    EXPECT_EQ(PQresultStatus(read.get()), PGRES_FATAL_ERROR);
    EXPECT_EQ(State(read), "22P05");
    EXPECT_NE(Error(read).find(std::string("character with byte sequence ") + c.utf8_bytes +
                               " in encoding \"UTF8\" has no equivalent in encoding \"WIN1252\""),
              std::string::npos)
        << Error(read);
  }

  // A refused statement outside a transaction leaves the session usable.
  Result after = Exec("SELECT 1");
  EXPECT_EQ(PQresultStatus(after.get()), PGRES_TUPLES_OK) << Error(after);
}

}  // namespace
}  // namespace portavel
