#include "data/sqlite_codec.h"

#include <sqlite3.h>

#include <charconv>
#include <cmath>

#include "text/cp1252.h"

namespace portavel {
namespace {

std::string ColumnText(sqlite3_stmt* stmt, int column) {
  const auto* data = static_cast<const char*>(sqlite3_column_blob(stmt, column));
  int size = sqlite3_column_bytes(stmt, column);
  return data ? std::string(data, static_cast<size_t>(size)) : std::string();
}

// `type` is the column's storage class, asked once per value.
Money ColumnMoney(sqlite3_stmt* stmt, int column, int type) {
  switch (type) {
    case SQLITE_INTEGER:
      return Money::FromUnits(sqlite3_column_int64(stmt, column));
    case SQLITE_FLOAT:
      // Written by some other tool as a plain number of units.
      return Money::FromUnits(std::llround(sqlite3_column_double(stmt, column)));
    default:
      return Value::Text(ColumnText(stmt, column)).AsMoney();
  }
}

// Parses "NAME(n)" into NAME and n.
bool SplitSized(std::string_view declared, std::string_view name, int* size) {
  if (declared.size() < name.size() + 3 ||
      !EqualsNoCase1252(declared.substr(0, name.size()), name) || declared[name.size()] != '(' ||
      declared.back() != ')') {
    return false;
  }
  std::string_view digits = declared.substr(name.size() + 1, declared.size() - name.size() - 2);
  auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), *size);
  return ec == std::errc() && end == digits.data() + digits.size();
}

}  // namespace

std::string SqlColumnType(const FieldDef& field) {
  switch (field.type) {
    case FieldType::Integer:
      return "INTEGER";
    case FieldType::SmallInt:
      return "SMALLINT";
    case FieldType::AutoInc:
      return "INTEGER PRIMARY KEY AUTOINCREMENT";
    case FieldType::String:
      return "VARCHAR(" + std::to_string(field.size) + ")";
    case FieldType::Memo:
      return "TEXT";
    case FieldType::Graphic:
      return "BLOB";
    case FieldType::Bytes:
      return "BINARY(" + std::to_string(field.size) + ")";
    case FieldType::Boolean:
      return "BOOLEAN";
    case FieldType::Date:
      return "DATE";
    case FieldType::Time:
      return "TIME";
    case FieldType::DateTime:
      return "DATETIME";
    case FieldType::Float:
      return "DOUBLE";
    case FieldType::BCD:
      return "BCD(" + std::to_string(field.size) + ")";
    case FieldType::Money:
      return "MONEY";
  }
  return "BLOB";
}

std::optional<FieldDef> FieldDefOfSqlType(std::string_view declared) {
  struct Plain {
    std::string_view name;
    FieldType type;
    int size;
  };
  static const Plain kPlain[] = {
      {"INTEGER", FieldType::Integer, 0}, {"SMALLINT", FieldType::SmallInt, 0},
      {"TEXT", FieldType::Memo, 0},       {"BLOB", FieldType::Graphic, 0},
      {"BOOLEAN", FieldType::Boolean, 0}, {"DATE", FieldType::Date, 0},
      {"TIME", FieldType::Time, 0},       {"DATETIME", FieldType::DateTime, 0},
      {"DOUBLE", FieldType::Float, 0},    {"MONEY", FieldType::Money, 4},
  };
  for (const Plain& p : kPlain) {
    if (EqualsNoCase1252(declared, p.name)) return FieldDef{"", p.type, p.size};
  }
  int size = 0;
  if (SplitSized(declared, "VARCHAR", &size)) return FieldDef{"", FieldType::String, size};
  if (SplitSized(declared, "BINARY", &size)) return FieldDef{"", FieldType::Bytes, size};
  if (SplitSized(declared, "BCD", &size)) return FieldDef{"", FieldType::BCD, size};
  return std::nullopt;
}

void BindValue(sqlite3_stmt* stmt, int index, const Value& value) {
  int rc = SQLITE_OK;
  switch (value.kind()) {
    case Value::Kind::kNull:
      rc = sqlite3_bind_null(stmt, index);
      break;
    case Value::Kind::kInteger:
      rc = sqlite3_bind_int64(stmt, index, value.AsInteger());
      break;
    case Value::Kind::kCurrency:
      rc = sqlite3_bind_int64(stmt, index, value.AsMoney().units());
      break;
    case Value::Kind::kFloat:
      rc = sqlite3_bind_double(stmt, index, value.AsFloat());
      break;
    case Value::Kind::kBoolean:
      rc = sqlite3_bind_int(stmt, index, value.AsBoolean() ? 1 : 0);
      break;
    case Value::Kind::kDate:
    case Value::Kind::kTime:
    case Value::Kind::kDateTime: {
      std::string text = value.AsString();
      rc = sqlite3_bind_text(stmt, index, text.data(), static_cast<int>(text.size()),
                             SQLITE_TRANSIENT);
      break;
    }
    case Value::Kind::kText: {
      const std::string& text = value.AsBytes();
      rc = text.empty() ? sqlite3_bind_null(stmt, index)
                        : sqlite3_bind_text(stmt, index, text.data(), static_cast<int>(text.size()),
                                            SQLITE_TRANSIENT);
      break;
    }
    case Value::Kind::kBytes: {
      const std::string& bytes = value.AsBytes();
      rc = bytes.empty() ? sqlite3_bind_null(stmt, index)
                         : sqlite3_bind_blob(stmt, index, bytes.data(),
                                             static_cast<int>(bytes.size()), SQLITE_TRANSIENT);
      break;
    }
  }
  if (rc != SQLITE_OK) ThrowSqliteError(sqlite3_db_handle(stmt), "binding a value");
}

Value ReadColumn(sqlite3_stmt* stmt, int column, const FieldDef& field) {
  const int type = sqlite3_column_type(stmt, column);
  if (type == SQLITE_NULL) return Value::Null();
  switch (field.type) {
    case FieldType::Integer:
    case FieldType::SmallInt:
    case FieldType::AutoInc:
      if (type == SQLITE_INTEGER) {
        return Value::Integer(sqlite3_column_int64(stmt, column));
      }
      return Value::Integer(Value::Text(ColumnText(stmt, column)).AsInteger());
    case FieldType::String:
    case FieldType::Memo:
      return Value::Text(ColumnText(stmt, column));
    case FieldType::Graphic:
    case FieldType::Bytes:
      return Value::Bytes(ColumnText(stmt, column));
    case FieldType::Boolean:
      return Value::Boolean(sqlite3_column_int64(stmt, column) != 0);
    case FieldType::Date:
      return Value::Date(Value::Text(ColumnText(stmt, column)).AsDateTime());
    case FieldType::Time:
      return Value::Time(Value::Text(ColumnText(stmt, column)).AsDateTime());
    case FieldType::DateTime:
      return Value::DateTimeValue(Value::Text(ColumnText(stmt, column)).AsDateTime());
    case FieldType::Float:
      return Value::Float(sqlite3_column_double(stmt, column));
    case FieldType::BCD:
    case FieldType::Money:
      return Value::Currency(ColumnMoney(stmt, column, type));
  }
  return Value::Null();
}

Value ReadUntypedColumn(sqlite3_stmt* stmt, int column) {
  switch (sqlite3_column_type(stmt, column)) {
    case SQLITE_INTEGER:
      return Value::Integer(sqlite3_column_int64(stmt, column));
    case SQLITE_FLOAT:
      return Value::Float(sqlite3_column_double(stmt, column));
    case SQLITE_TEXT:
      return Value::Text(ColumnText(stmt, column));
    case SQLITE_BLOB:
      return Value::Bytes(ColumnText(stmt, column));
    default:
      return Value::Null();
  }
}

void ThrowSqliteError(sqlite3* db, std::string_view context) {
  std::string words = db ? sqlite3_errmsg(db) : "out of memory";
  std::string message = std::string(context) + ": " + words;
  if (db && (sqlite3_errcode(db) & 0xFF) == SQLITE_BUSY) {
    throw StoreBusyError(message, std::move(words));
  }
  throw StoreError(message, std::move(words));
}

}  // namespace portavel
