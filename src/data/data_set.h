// A cursor over one table: ordered by an index or by fields, restricted by
// a key range, equality filters or a master-detail link, with the record
// editing of the dealer's database engine. Values given for filters,
// ranges and locates are always bound, never spliced into SQL.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "data/field_type.h"
#include "data/value.h"

namespace portavel {

class Store;
class DataSet;

// A field of the current record. Getters follow the null rules (0, "",
// no date); setters need the data set in edit or insert state, convert to
// the field's type and mark the field changed.
class Field {
 public:
  // `def` outlives the field: the store's table definition, or the data
  // set's calculated field.
  Field(DataSet* owner, const FieldDef& def, int position, bool calculated)
      : owner_(owner), def_(&def), position_(position), calculated_(calculated) {}

  const std::string& name() const { return def_->name; }
  const FieldDef& def() const { return *def_; }
  bool calculated() const { return calculated_; }

  const Value& value() const;
  bool IsNull() const { return value().IsNull(); }
  int64_t AsInteger() const { return value().AsInteger(); }
  Money AsMoney() const { return value().AsMoney(); }
  double AsFloat() const { return value().AsFloat(); }
  bool AsBoolean() const { return value().AsBoolean(); }
  DateTime AsDateTime() const { return value().AsDateTime(); }
  std::string AsString() const;
  const std::string& AsBytes() const { return value().AsBytes(); }

  // Converts and stores. Text longer than a String(n) is cut to n
  // characters; "" stores null; Bytes(n) is padded with zero bytes or cut
  // to n; BCD(d) is rounded half away from zero to d decimals.
  void Set(const Value& v);
  void SetInteger(int64_t v) { Set(Value::Integer(v)); }
  void SetMoney(Money v) { Set(Value::Currency(v)); }
  void SetFloat(double v) { Set(Value::Float(v)); }
  void SetBoolean(bool v) { Set(Value::Boolean(v)); }
  void SetDateTime(DateTime v) { Set(Value::DateTimeValue(v)); }
  void SetString(std::string v) { Set(Value::Text(std::move(v))); }
  void SetBytes(std::string v) { Set(Value::Bytes(std::move(v))); }
  void Clear() { Set(Value::Null()); }

  // The column title when the row is shown as a table; the field name
  // unless set.
  const std::string& display_label() const;
  void set_display_label(std::string label) { display_label_ = std::move(label); }
  // A money pattern ("#,###.00") for numbers, a date pattern ("mm-dd-yy")
  // for dates; empty for the plain text.
  const std::string& display_format() const { return display_format_; }
  void set_display_format(std::string format) { display_format_ = std::move(format); }
  // What a table shows: "" for null, else the value in the display format.
  std::string DisplayText() const;

 private:
  DataSet* owner_;
  const FieldDef* def_;
  int position_;
  bool calculated_;
  std::string display_label_;
  std::string display_format_;
};

// Converts v to what a field of type `def` holds (the rules of
// Field::Set). Throws StoreError when it does not convert.
Value ConvertForField(const FieldDef& def, const Value& v);

class DataSet {
 public:
  enum class State { kInactive, kBrowse, kEdit, kInsert, kCalcFields };

  DataSet(Store& store, std::string alias, std::string table_name);
  ~DataSet();
  DataSet(const DataSet&) = delete;
  DataSet& operator=(const DataSet&) = delete;

  // Set up while closed.
  void SetIndexName(std::string index_name);         // a named index of the table
  void SetIndexFieldNames(std::string field_names);  // "BatchKey" or "A;B"
  void SetReadOnly(bool read_only);
  // Reads only these fields with each row, and any other field of the row
  // when it is first asked for after a move, with a statement of its own
  // (so as the store holds it then); none: every field on demand. Names
  // that are not stored fields (calculated ones) are passed over. For a
  // wide table of which a request uses a few fields, walked to the end:
  // Open lists the set whole and reads these fields of every row in the
  // same statement.
  void SetFieldsReadWithRow(std::vector<std::string> field_names);
  void AddCalculatedField(FieldDef def);
  void SetOnCalcFields(std::function<void(DataSet&)> handler);
  void SetOnNewRecord(std::function<void(DataSet&)> handler);
  void SetBeforeDelete(std::function<void(DataSet&)> handler);
  // Kept across Open and Close, like the rest of the set-up.
  void SetDisplayLabel(std::string_view field_name, std::string label);
  void SetDisplayFormat(std::string_view field_name, std::string format);
  // Restricts the rows to detail_fields[i] = the master's master_fields[i]
  // for the master's current record; follows the master as it moves. An
  // inactive or empty master leaves the detail empty.
  void SetMasterLink(DataSet* master, std::vector<std::string> detail_fields,
                     std::vector<std::string> master_fields);

  // Restrictions; may change while open (the data set re-reads).
  // Equality on one field; the value is compared as a whole: text or bytes
  // longer than the field match nothing the field holds, never its first
  // n characters.
  void AddFilter(std::string field_name, Value value, bool case_insensitive = false);
  void ClearFilters();
  // From low to high inclusive on the leading fields of the current order.
  void SetRange(std::vector<Value> low, std::vector<Value> high);
  void CancelRange();

  void Open();
  void Close();
  bool Active() const { return state_ != State::kInactive; }
  State state() const { return state_; }
  const std::string& table_name() const;

  void First();
  void Next();
  void Prior();
  void Last();
  bool Eof() const { return eof_; }
  bool Bof() const { return bof_; }
  int RecordCount();
  bool IsEmpty();

  // Moves to the first row, in the current order, whose fields equal the
  // values (compared as a whole, as filters are); false (position
  // unchanged) when there is none.
  bool Locate(const std::vector<std::pair<std::string, Value>>& criteria,
              bool case_insensitive = false);

  Field& FieldByName(std::string_view name);  // throws StoreError when unknown
  Field* FindField(std::string_view name);    // nullptr when unknown
  const std::vector<Field*>& fields() const { return fields_; }

  void Edit();
  void Insert();
  void Append();
  // Writes the fields that changed (all non-null fields of a new row).
  void Post();
  void Cancel();
  void Delete();
  // Re-reads from the store, keeping the position on the same row.
  void Refresh();

  // Adds 1 to an integer field of the current row in the store and returns
  // the value it had, as one atomic step across processes; the current
  // record shows the new value. Browse state only.
  int64_t IncrementField(std::string_view name);

  // Writes `value` into a field of the current row in the store only while
  // the store still holds the value the current record shows, as one
  // atomic step across processes: of several callers that read the same
  // value, one writes and the others get false (nothing written). The
  // current record shows the new value on success. Browse state only.
  bool ReplaceFieldIfUnchanged(std::string_view name, const Value& value);

 private:
  friend class Field;
  struct Impl;
  const Value& CurrentValue(int position) const;
  void SetCurrentValue(int position, Value v);
  // Re-reads the rows of a detail after its master moved.
  void SyncWithMaster();
  // Posts a pending edit or insert before moving, as the engine does.
  void CheckBrowseMode();
  void CheckWritable();
  // Reads the row at a position (or clears the record for -1), computes
  // the calculated fields and lets the details follow.
  // `walking_on`: Next's move to the following row, which reads ahead.
  void MoveTo(int position, bool walking_on = false);
  // Re-reads the row list and stands on the given row (or near the old
  // position when it is gone).
  void ReloadAt(int64_t rowid);

  std::unique_ptr<Impl> impl_;
  // One block for a table's hundred fields, built once, and the list of them.
  std::vector<Field> field_storage_;
  std::vector<Field*> fields_;
  State state_ = State::kInactive;
  bool eof_ = true;
  bool bof_ = true;
};

}  // namespace portavel
