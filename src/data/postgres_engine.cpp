#include "data/postgres_engine.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstdlib>

#include "data/postgres_check.h"
#include "data/postgres_sql.h"
#include "data/store.h"
#include "data/table_catalog.h"
#include "text/cp1252.h"

namespace portavel {
namespace {

// Type OIDs of the results read without a field.
constexpr unsigned kBoolOid = 16;
constexpr unsigned kByteaOid = 17;
constexpr unsigned kInt8Oid = 20;
constexpr unsigned kInt2Oid = 21;
constexpr unsigned kInt4Oid = 23;
constexpr unsigned kOidOid = 26;
constexpr unsigned kFloat4Oid = 700;
constexpr unsigned kFloat8Oid = 701;
constexpr unsigned kNumericOid = 1700;

// SQLSTATEs of a lock not obtained within lock_timeout, and of a deadlock.
constexpr std::string_view kLockNotAvailable = "55P03";
constexpr std::string_view kDeadlockDetected = "40P01";

// The advisory lock of an alias's writers: one key per alias, as SQLite
// has one write lock per file.
int64_t WriteLockKey(std::string_view alias) {
  return Store::CanonicalAlias(alias) == "UserData" ? 0x506F7274'01 : 0x506F7274'02;
}

// Text the server sent (UTF-8) as windows-1252; a character windows-1252
// lacks, which another program may have stored, reads as "?".
std::string FromServerText(std::string_view utf8) {
  if (std::optional<std::string> text = Utf8ToCp1252(utf8)) return *std::move(text);
  std::string out;
  size_t i = 0;
  while (i < utf8.size()) {
    const auto lead = static_cast<unsigned char>(utf8[i]);
    const size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
    std::optional<std::string> one = Utf8ToCp1252(utf8.substr(i, length));
    out += one ? *one : "?";
    i += length;
  }
  return out;
}

int64_t ParseInteger(std::string_view text) {
  int64_t value = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size()) {
    throw StoreError("Not a whole number from the server: '" + std::string(text) + "'");
  }
  return value;
}

bool StartsWithWrite(std::string_view sql) {
  size_t i = 0;
  while (i < sql.size() && (sql[i] == ' ' || sql[i] == '\n' || sql[i] == '\t')) ++i;
  std::string_view rest = sql.substr(i);
  for (std::string_view verb : {"INSERT", "UPDATE", "DELETE"}) {
    if (rest.size() >= verb.size() && EqualsNoCase1252(rest.substr(0, verb.size()), verb)) {
      return true;
    }
  }
  return false;
}

// A prepared statement's run: the whole result comes at once, and Step
// walks its rows.
class PostgresStatement : public EngineStatement {
 public:
  PostgresStatement(PostgresConnection& connection, const PostgresConnection::Prepared& prepared)
      : connection_(connection),
        prepared_(prepared),
        values_(prepared.parameter_names.size()),
        formats_(prepared.parameter_names.size(), 0) {}
  ~PostgresStatement() override { Clear(); }
  PostgresStatement(const PostgresStatement&) = delete;
  PostgresStatement& operator=(const PostgresStatement&) = delete;

  std::string sql() const override { return prepared_.text; }
  int ParameterCount() const override { return static_cast<int>(values_.size()); }
  std::string ParameterName(int index) const override {
    return prepared_.parameter_names.at(static_cast<size_t>(index - 1));
  }

  void Bind(int index, const Value& value) override {
    if (index < 1 || index > ParameterCount()) {
      throw StoreError("Parameter " + std::to_string(index) + " out of range in \"" + sql() + "\"");
    }
    auto& slot = values_[static_cast<size_t>(index - 1)];
    int& format = formats_[static_cast<size_t>(index - 1)];
    format = 0;
    switch (value.kind()) {
      case Value::Kind::kNull:
        slot.reset();
        break;
      case Value::Kind::kInteger:
        slot = std::to_string(value.AsInteger());
        break;
      case Value::Kind::kCurrency:
        slot = std::to_string(value.AsMoney().units());
        break;
      case Value::Kind::kFloat: {
        char text[32];
        std::snprintf(text, sizeof text, "%.17g", value.AsFloat());
        slot = text;
        break;
      }
      case Value::Kind::kBoolean:
        slot = value.AsBoolean() ? "1" : "0";
        break;
      case Value::Kind::kDate:
      case Value::Kind::kTime:
      case Value::Kind::kDateTime:
        slot = value.AsString();
        break;
      case Value::Kind::kText:
        if (value.AsBytes().empty()) {
          slot.reset();
        } else {
          slot = Cp1252ToUtf8(value.AsBytes());
        }
        break;
      case Value::Kind::kBytes:
        if (value.AsBytes().empty()) {
          slot.reset();
        } else {
          slot = value.AsBytes();
          format = 1;  // raw bytes, no escaping
        }
        break;
    }
  }

  bool Step() override {
    if (!result_) {
      result_ = connection_.Run(prepared_, values_, formats_);
      const char* tuples = connection_.pq().cmd_tuples(result_);
      changes_ = tuples && *tuples ? ParseInteger(tuples) : 0;
      if (prepared_.writes) connection_.AddChanges(changes_);
      rows_ = connection_.pq().ntuples(result_);
      row_ = 0;
    } else if (row_ < rows_) {
      ++row_;
    }
    return row_ < rows_;
  }
  void Reset() override { Clear(); }
  void ClearBindings() override {
    for (auto& value : values_) value.reset();
  }

  int ColumnCount() const override { return result_ ? connection_.pq().nfields(result_) : 0; }
  std::string ColumnName(int column) const override {
    const char* name = result_ ? connection_.pq().fname(result_, column) : nullptr;
    return name ? FromServerText(name) : "";
  }
  std::optional<FieldDef> ColumnField(int column) const override {
    if (!result_) return std::nullopt;
    const unsigned table = connection_.pq().ftable(result_, column);
    if (table == 0) return std::nullopt;
    return connection_.FieldOf(table, connection_.pq().ftablecol(result_, column));
  }

  Value ReadColumn(int column, const FieldDef& field) const override {
    if (IsNull(column)) return Value::Null();
    const std::string_view text = Text(column);
    switch (field.type) {
      case FieldType::Integer:
      case FieldType::SmallInt:
      case FieldType::AutoInc:
        return Value::Integer(ParseInteger(text));
      case FieldType::String:
      case FieldType::Memo:
        return Value::Text(FromServerText(text));
      case FieldType::Graphic:
      case FieldType::Bytes:
        return Value::Bytes(Bytes(column));
      case FieldType::Boolean:
        return Value::Boolean(text != "0" && text != "f");
      case FieldType::Date:
        return Value::Date(Value::Text(std::string(text)).AsDateTime());
      case FieldType::Time:
        return Value::Time(Value::Text(std::string(text)).AsDateTime());
      case FieldType::DateTime:
        return Value::DateTimeValue(Value::Text(std::string(text)).AsDateTime());
      case FieldType::Float:
        return Value::Float(std::strtod(std::string(text).c_str(), nullptr));
      case FieldType::BCD:
      case FieldType::Money:
        return Value::Currency(Money::FromUnits(ParseInteger(text)));
    }
    return Value::Null();
  }

  Value ReadUntypedColumn(int column) const override {
    if (IsNull(column)) return Value::Null();
    const std::string_view text = Text(column);
    switch (connection_.pq().ftype(result_, column)) {
      case kInt2Oid:
      case kInt4Oid:
      case kInt8Oid:
      case kOidOid:
        return Value::Integer(ParseInteger(text));
      case kBoolOid:
        return Value::Integer(text == "t" ? 1 : 0);
      case kNumericOid:
        // A sum of whole numbers (currency's ten-thousandths) stays whole.
        if (text.find_first_of(".eE") == std::string_view::npos) {
          return Value::Integer(ParseInteger(text));
        }
        return Value::Float(std::strtod(std::string(text).c_str(), nullptr));
      case kFloat4Oid:
      case kFloat8Oid:
        return Value::Float(std::strtod(std::string(text).c_str(), nullptr));
      case kByteaOid:
        return Value::Bytes(Bytes(column));
      default:
        return Value::Text(FromServerText(text));
    }
  }

  int64_t Changes() const override { return changes_; }

 private:
  void Clear() {
    if (result_) connection_.pq().clear(result_);
    result_ = nullptr;
    rows_ = 0;
    row_ = 0;
  }
  void RequireRow() const {
    if (!result_ || row_ >= rows_) throw StoreError("No current row in \"" + sql() + "\"");
  }
  bool IsNull(int column) const {
    RequireRow();
    return connection_.pq().getisnull(result_, row_, column) != 0;
  }
  std::string_view Text(int column) const {
    return std::string_view(connection_.pq().getvalue(result_, row_, column),
                            static_cast<size_t>(connection_.pq().getlength(result_, row_, column)));
  }
  std::string Bytes(int column) const {
    size_t length = 0;
    unsigned char* raw = connection_.pq().unescape_bytea(
        reinterpret_cast<const unsigned char*>(connection_.pq().getvalue(result_, row_, column)),
        &length);
    if (!raw) throw StoreError("Unreadable bytes from the server in \"" + sql() + "\"");
    std::string bytes(reinterpret_cast<const char*>(raw), length);
    connection_.pq().freemem(raw);
    return bytes;
  }

  PostgresConnection& connection_;
  const PostgresConnection::Prepared& prepared_;
  std::vector<std::optional<std::string>> values_;
  std::vector<int> formats_;
  PGresult* result_ = nullptr;
  int rows_ = 0;
  int row_ = 0;
  int64_t changes_ = 0;
};

}  // namespace

PostgresConnection::PostgresConnection(const std::string& alias,
                                       const std::string& connection_string, int write_wait_ms)
    : alias_(Store::CanonicalAlias(alias)),
      schema_(PostgresSchema(alias)),
      write_wait_ms_(write_wait_ms) {
  const char* load_error = nullptr;
  pq_ = LoadLibpqLibrary(&load_error);
  if (!pq_) throw StoreError(std::string("Cannot reach the database server: ") + load_error);
  // The connection string may name anything but the text's encoding and
  // the schema, which are the store's.
  // Notices ("already exists, skipping") would go to standard error,
  // which under CGI is the web server's log.
  const std::string options = "-c search_path=" + schema_ + " -c client_min_messages=warning";
  // libpq waits for a server that never answers as long as the system's
  // TCP connect does, minutes, while the visitor and the web server wait;
  // ten seconds unless the connection string says otherwise (keywords
  // before "dbname" are overridden by what its string names).
  const char* keywords[] = {"connect_timeout", "dbname",           "client_encoding",
                            "options",         "application_name", nullptr};
  const char* values[] = {"10",   connection_string.c_str(), "UTF8", options.c_str(), "portavel",
                          nullptr};
  connection_ = pq_->connectdb_params(keywords, values, 1);
  if (!connection_ || pq_->status(connection_) != CONNECTION_OK) {
    std::string message = connection_ ? pq_->error_message(connection_) : "out of memory";
    while (!message.empty() && (message.back() == '\n' || message.back() == ' ')) {
      message.pop_back();
    }
    if (connection_) pq_->finish(connection_);
    connection_ = nullptr;
    throw StoreError("Cannot connect to the " + alias_ + " database server: " + message);
  }
  // The server's notices, and why it ended an idle connection, which
  // libpq passes on as one, would go to standard error: under CGI the web
  // server's log, beside the operator log. A failure is reported where it
  // is met, as the StoreError of the statement it fails.
  pq_->set_notice_processor(
      connection_, [](void*, const char*) {}, nullptr);
  SetWriteWait(write_wait_ms_);
}

PostgresConnection::~PostgresConnection() {
  if (connection_) pq_->finish(connection_);
}

void PostgresConnection::CheckResult(PGresult* result, std::string_view doing,
                                     const std::string& sql) {
  const ExecStatusType status = result ? pq_->result_status(result) : PGRES_FATAL_ERROR;
  if (status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK) return;
  std::string words = result ? pq_->result_error_message(result) : pq_->error_message(connection_);
  while (!words.empty() && (words.back() == '\n' || words.back() == ' ')) words.pop_back();
  const char* state = result ? pq_->result_error_field(result, PG_DIAG_SQLSTATE) : nullptr;
  const std::string sqlstate = state ? state : "";
  if (result) pq_->clear(result);
  words = FromServerText(words);
  const std::string message = std::string(doing) + " \"" + sql + "\": " + words;
  if (sqlstate == kLockNotAvailable || sqlstate == kDeadlockDetected) {
    throw StoreBusyError(message, words);
  }
  throw StoreError(message, words);
}

PGresult* PostgresConnection::ExecSimple(const std::string& sql) {
  PGresult* result = pq_->exec(connection_, sql.c_str());
  CheckResult(result, "running", sql);
  return result;
}

void PostgresConnection::ExecChecked(const std::string& sql) {
  pq_->clear(ExecSimple(sql));
}

const PostgresConnection::Prepared& PostgresConnection::PrepareOnce(const std::string& sql) {
  auto found = prepared_.find(sql);
  if (found != prepared_.end()) return found->second;
  PostgresSql translated = TranslateParameters(sql);
  Prepared prepared{"p" + std::to_string(prepared_.size() + 1), std::move(translated.text),
                    std::move(translated.parameter_names), StartsWithWrite(sql)};
  const std::string utf8 = Cp1252ToUtf8(prepared.text);
  PGresult* result = pq_->prepare(connection_, prepared.name.c_str(), utf8.c_str(),
                                  static_cast<int>(prepared.parameter_names.size()), nullptr);
  CheckResult(result, "preparing", sql);
  pq_->clear(result);
  return prepared_.emplace(sql, std::move(prepared)).first->second;
}

PGresult* PostgresConnection::Run(const Prepared& prepared,
                                  const std::vector<std::optional<std::string>>& values,
                                  const std::vector<int>& formats) {
  std::vector<const char*> pointers;
  std::vector<int> lengths;
  for (const auto& value : values) {
    pointers.push_back(value ? value->data() : nullptr);
    lengths.push_back(value ? static_cast<int>(value->size()) : 0);
  }
  const bool own_transaction = prepared.writes && !InTransaction();
  if (own_transaction) BeginWriteTransaction();
  PGresult* result =
      pq_->exec_prepared(connection_, prepared.name.c_str(), static_cast<int>(values.size()),
                         pointers.data(), lengths.data(), formats.data(), 0);
  try {
    CheckResult(result, "running", prepared.text);
    if (own_transaction) ExecChecked("COMMIT");
  } catch (...) {
    if (own_transaction && InTransaction()) pq_->clear(pq_->exec(connection_, "ROLLBACK"));
    throw;
  }
  return result;
}

std::unique_ptr<EngineStatement> PostgresConnection::Prepare(const std::string& sql) {
  return std::make_unique<PostgresStatement>(*this, PrepareOnce(sql));
}

void PostgresConnection::Execute(const std::string& sql) {
  // The server only warns of a COMMIT with no transaction open; that is a
  // transaction already gone (its connection lost and replaced), which
  // must not pass for committed. SQLite refuses it too.
  if (sql == "COMMIT" && !InTransaction()) {
    throw StoreError("Cannot commit on " + alias_ +
                     ": no transaction is open (the connection it began on was lost)");
  }
  ExecChecked(Cp1252ToUtf8(sql));
}

void PostgresConnection::TakeWriteLock() {
  ExecChecked("SELECT pg_advisory_xact_lock(" + std::to_string(WriteLockKey(alias_)) + ")");
}

void PostgresConnection::BeginWriteTransaction() {
  ExecChecked("BEGIN");
  try {
    TakeWriteLock();
  } catch (...) {
    pq_->clear(pq_->exec(connection_, "ROLLBACK"));
    throw;
  }
}

bool PostgresConnection::InTransaction() {
  return pq_->transaction_status(connection_) != PQTRANS_IDLE;
}

void PostgresConnection::SetWriteWait(int ms) {
  // To PostgreSQL 0 means waiting for ever; to the store, not waiting.
  ExecChecked("SET lock_timeout = " + std::to_string(std::max(ms, 1)));
  write_wait_ms_ = ms;
}

std::string PostgresConnection::NoCase(std::string_view expression) const {
  return std::string("(") + kPostgresNoCaseFunction + "(" + std::string(expression) +
         ") COLLATE \"C\")";
}

bool PostgresConnection::TableExists(std::string_view table) {
  PostgresStatement stmt(*this, PrepareOnce("SELECT 1 FROM pg_catalog.pg_tables WHERE schemaname = "
                                            "current_schema() AND tablename = ?"));
  stmt.Bind(1, Value::Text(std::string(table)));
  return stmt.Step();
}

bool PostgresConnection::ColumnExists(std::string_view table, std::string_view column) {
  // A data set checks each of its fields once per connection; one catalog
  // query per table instead of one per field spares a new connection
  // hundreds of round trips on its first page.
  auto known = columns_.find(table);
  if (known == columns_.end()) {
    PostgresStatement stmt(
        *this, PrepareOnce("SELECT attname FROM pg_catalog.pg_attribute WHERE attrelid = "
                           "to_regclass(quote_ident(current_schema()) || '.' || quote_ident(?)) "
                           "AND attnum > 0 AND NOT attisdropped"));
    stmt.Bind(1, Value::Text(std::string(table)));
    std::set<std::string, std::less<>> names;
    while (stmt.Step()) names.insert(stmt.ReadUntypedColumn(0).AsString());
    known = columns_.emplace(std::string(table), std::move(names)).first;
  }
  return known->second.contains(column);
}

bool PostgresConnection::CreateTable(const TableDef& table) {
  columns_.erase(table.name);
  ExecChecked("CREATE SCHEMA IF NOT EXISTS " + QuoteIdentifier(schema_));
  ExecChecked(PostgresNoCaseFunctionSql(schema_));
  ExecChecked(PostgresAutoIncFunctionSql(schema_));
  const bool existed = TableExists(table.name);
  ExecChecked(Cp1252ToUtf8(PostgresCreateTableSql(table, schema_)));
  for (const std::string& sql : PostgresAutoIncSql(table, schema_)) {
    ExecChecked(Cp1252ToUtf8(sql));
  }
  for (const std::string& sql : PostgresCreateIndexSql(table, schema_)) {
    ExecChecked(Cp1252ToUtf8(sql));
  }
  return !existed;
}

bool PostgresConnection::ReleaseLeftovers() {
  if (IsBroken() || !InTransaction()) return false;
  pq_->clear(pq_->exec(connection_, "ROLLBACK"));
  return true;
}

std::vector<std::string> PostgresConnection::IntegrityProblems() {
  return PostgresStoreProblems(*this, alias_);
}

namespace {

// The number of a lock set: its name's letters, as a 32-bit FNV-1a hash,
// the same in every process.
int32_t LockSpace(std::string_view name) {
  uint32_t hash = 2166136261u;
  for (char c : name) hash = (hash ^ static_cast<unsigned char>(c)) * 16777619u;
  return static_cast<int32_t>(hash);
}

class AdvisoryLock : public HeldLock {
 public:
  AdvisoryLock(PostgresConnection& connection, std::string key_sql)
      : connection_(connection), key_sql_(std::move(key_sql)) {}
  ~AdvisoryLock() override {
    if (connection_.IsBroken()) return;
    try {
      connection_.Execute("SELECT pg_advisory_unlock(" + key_sql_ + ")");
    } catch (const StoreError&) {
      // A connection that cannot run this is gone, and the lock with it.
    }
  }
  AdvisoryLock(const AdvisoryLock&) = delete;
  AdvisoryLock& operator=(const AdvisoryLock&) = delete;

 private:
  PostgresConnection& connection_;
  std::string key_sql_;
};

}  // namespace

std::unique_ptr<HeldLock> PostgresConnection::HoldLock(std::string_view name, int32_t key) {
  const std::string key_sql = std::to_string(LockSpace(name)) + ", " + std::to_string(key);
  // Waits as long as another holds it, as the lock file does on SQLite:
  // lock_timeout 0 is no limit.
  ExecChecked("SET lock_timeout = 0");
  try {
    ExecChecked("SELECT pg_advisory_lock(" + key_sql + ")");
  } catch (...) {
    SetWriteWait(write_wait_ms_);
    throw;
  }
  SetWriteWait(write_wait_ms_);
  return std::make_unique<AdvisoryLock>(*this, key_sql);
}

bool PostgresConnection::IsBroken() {
  return pq_->status(connection_) != CONNECTION_OK;
}

bool PostgresConnection::FoundLostWhileIdle() {
  // A server that ends a connection sends why and then closes it: the
  // first read takes the message in, the second meets the closed end.
  // Neither waits: libpq's socket does not block.
  for (int read = 0; read < 2 && !IsBroken(); ++read) {
    if (pq_->consume_input(connection_) == 0) break;
  }
  return IsBroken();
}

std::optional<FieldDef> PostgresConnection::FieldOf(unsigned table_oid, int column_number) {
  const auto key = std::make_pair(table_oid, column_number);
  auto found = fields_.find(key);
  if (found != fields_.end()) return found->second;
  PostgresStatement stmt(*this, PrepareOnce("SELECT c.relname, a.attname FROM pg_catalog.pg_class "
                                            "c JOIN pg_catalog.pg_attribute a ON a.attrelid = "
                                            "c.oid WHERE c.oid = ? AND a.attnum = ?"));
  stmt.Bind(1, Value::Integer(table_oid));
  stmt.Bind(2, Value::Integer(column_number));
  std::optional<FieldDef> field;
  if (stmt.Step()) {
    if (const TableDef* table = FindTableDef(alias_, stmt.ReadUntypedColumn(0).AsString())) {
      if (const FieldDef* def = table->FindField(stmt.ReadUntypedColumn(1).AsString())) {
        field = *def;
      }
    }
  }
  return fields_.emplace(key, field).first->second;
}

}  // namespace portavel
