#include "admin/json_row_reader.h"

#include <cstdint>
#include <nlohmann/json.hpp>
#include <utility>
#include <vector>

#include "admin/admin_error.h"

namespace portavel {
namespace {

using Json = nlohmann::json;

// The parser's events, tracked by nesting depth: 1 is inside the file's
// object, 2 inside a table's array, 3 and deeper inside a row.
class RowSaxHandler {
 public:
  explicit RowSaxHandler(TableRowsVisitor& visitor) : visitor_(visitor) {}

  bool null() { return Scalar(JsonValue{}); }
  bool boolean(bool value) {
    JsonValue v;
    v.kind = JsonValue::Kind::kBoolean;
    v.boolean = value;
    return Scalar(std::move(v));
  }
  bool number_integer(int64_t value) { return Number(std::to_string(value)); }
  bool number_unsigned(uint64_t value) { return Number(std::to_string(value)); }
  // The text as written: the double would have lost digits.
  bool number_float(double, const std::string& text) { return Number(text); }
  bool string(std::string& value) {
    JsonValue v;
    v.kind = JsonValue::Kind::kString;
    v.text = std::move(value);
    return Scalar(std::move(v));
  }
  bool binary(Json::binary_t&) { return false; }

  bool start_object(std::size_t) { return Open(JsonValue::Kind::kObject); }
  bool start_array(std::size_t) { return Open(JsonValue::Kind::kArray); }
  bool end_object() { return Close(); }
  bool end_array() { return Close(); }
  bool key(std::string& name) {
    if (depth_ == 1) {
      table_key_ = name;
    } else {
      building_.back().keys.push_back(name);
    }
    return true;
  }

  bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception& error) {
    // "[json.exception.parse_error.101] parse error at line 2, ..." without the tag.
    std::string message = error.what();
    size_t tag_end = message.find("] ");
    if (tag_end != std::string::npos) message.erase(0, tag_end + 2);
    throw DataError("not valid JSON: " + message);
  }

 private:
  bool Number(std::string text) {
    JsonValue v;
    v.kind = JsonValue::Kind::kNumber;
    v.text = std::move(text);
    return Scalar(std::move(v));
  }

  bool Scalar(JsonValue value) {
    if (depth_ >= 3) {
      building_.back().items.push_back(std::move(value));
      return true;
    }
    if (depth_ == 2) ++row_position_;
    Misplaced(value);
  }

  bool Open(JsonValue::Kind kind) {
    JsonValue opened;
    opened.kind = kind;
    if (depth_ == 0 && kind != JsonValue::Kind::kObject) Misplaced(opened);
    if (depth_ == 1) {
      if (kind != JsonValue::Kind::kArray) Misplaced(opened);
      table_name_ = visitor_.BeginTable(table_key_);
      row_position_ = 0;
    }
    if (depth_ == 2) {
      ++row_position_;
      if (kind != JsonValue::Kind::kObject) Misplaced(opened);
    }
    if (depth_ >= 2) building_.push_back(std::move(opened));
    ++depth_;
    return true;
  }

  bool Close() {
    --depth_;
    if (depth_ == 1) visitor_.EndTable();
    if (depth_ < 2) return true;
    JsonValue done = std::move(building_.back());
    building_.pop_back();
    if (depth_ == 2) {
      visitor_.Row(row_position_, done);
    } else {
      building_.back().items.push_back(std::move(done));
    }
    return true;
  }

  // A value where the file's shape has no room for it.
  [[noreturn]] void Misplaced(const JsonValue& value) {
    std::string found = ", found " + value.Describe();
    switch (depth_) {
      case 0:
        throw DataError("the file must hold one JSON object whose members are tables" + found);
      case 1:
        table_name_ = visitor_.BeginTable(table_key_);
        throw DataError(table_name_ + ": expected an array of rows" + found);
      default:
        throw DataError(table_name_ + " row " + std::to_string(row_position_) +
                        ": expected an object of field values" + found);
    }
  }

  TableRowsVisitor& visitor_;
  int depth_ = 0;
  std::string table_key_;
  std::string table_name_;
  int row_position_ = 0;
  std::vector<JsonValue> building_;
};

}  // namespace

void ReadTableRows(std::string_view json, TableRowsVisitor& visitor) {
  RowSaxHandler handler(visitor);
  Json::sax_parse(json, &handler);
}

}  // namespace portavel
