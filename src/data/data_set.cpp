#include "data/data_set.h"

#include <algorithm>
#include <array>
#include <limits>
#include <utility>

#include "data/statement.h"
#include "data/store.h"
#include "dates/date_format.h"
#include "text/cp1252.h"

namespace portavel {
namespace {

[[noreturn]] void Fail(const std::string& message) {
  throw StoreError(message);
}

Value CheckedInteger(const FieldDef& def, int64_t v) {
  int64_t low = def.type == FieldType::SmallInt ? std::numeric_limits<int16_t>::min()
                                                : std::numeric_limits<int32_t>::min();
  int64_t high = def.type == FieldType::SmallInt ? std::numeric_limits<int16_t>::max()
                                                 : std::numeric_limits<int32_t>::max();
  if (v < low || v > high) {
    Fail(std::to_string(v) + " is not a valid value for field '" + def.name + "'");
  }
  return Value::Integer(v);
}

// A value to compare with a field: converted as for a write, except that
// text or bytes longer than the field stay whole. Cut, a 31-character ID
// would equal the 30-character one the field holds; whole, it equals
// nothing the program stored.
Value ComparableForField(const FieldDef& def, const Value& v) {
  if (def.size > 0 && (def.type == FieldType::String || def.type == FieldType::Bytes) &&
      !v.IsNull()) {
    if (def.type == FieldType::String) {
      std::string text = v.AsString();
      if (text.size() > static_cast<size_t>(def.size)) return Value::Text(std::move(text));
    } else if (v.AsBytes().size() > static_cast<size_t>(def.size)) {
      return Value::Bytes(v.AsBytes());
    }
  }
  return ConvertForField(def, v);
}

}  // namespace

Value ConvertForField(const FieldDef& def, const Value& v) {
  if (v.IsNull()) return v;
  switch (def.type) {
    case FieldType::Integer:
    case FieldType::SmallInt:
    case FieldType::AutoInc:
      return CheckedInteger(def, v.AsInteger());
    case FieldType::String: {
      std::string text = v.AsString();
      if (def.size > 0 && text.size() > static_cast<size_t>(def.size)) text.resize(def.size);
      return text.empty() ? Value::Null() : Value::Text(std::move(text));
    }
    case FieldType::Memo: {
      std::string text = v.AsString();
      return text.empty() ? Value::Null() : Value::Text(std::move(text));
    }
    case FieldType::Graphic: {
      const std::string& bytes = v.AsBytes();
      return bytes.empty() ? Value::Null() : Value::Bytes(bytes);
    }
    case FieldType::Bytes: {
      std::string bytes = v.AsBytes();
      if (bytes.empty()) return Value::Null();
      bytes.resize(static_cast<size_t>(def.size), '\0');
      return Value::Bytes(std::move(bytes));
    }
    case FieldType::Boolean:
      return Value::Boolean(v.AsBoolean());
    case FieldType::Date: {
      DateTime d = v.AsDateTime().DateOnly();
      return d.IsNoDate() ? Value::Null() : Value::Date(d);
    }
    case FieldType::Time:
      return Value::Time(v.AsDateTime());
    case FieldType::DateTime: {
      DateTime d = v.AsDateTime();
      return d.IsNoDate() ? Value::Null() : Value::DateTimeValue(d);
    }
    case FieldType::Float:
      return Value::Float(v.AsFloat());
    case FieldType::BCD:
      return Value::Currency(def.size < 4 ? RoundToDecimals(def.size, v.AsMoney()) : v.AsMoney());
    case FieldType::Money:
      return Value::Currency(v.AsMoney());
  }
  return v;
}

// ---------------------------------------------------------------------------

const Value& Field::value() const {
  return owner_->CurrentValue(position_);
}

std::string Field::AsString() const {
  const Value& v = value();
  if (v.IsNull()) return std::string();
  switch (def_->type) {
    case FieldType::Date:
      return FormatShortDate(v.AsDateTime());
    case FieldType::Time:
      return FormatLongTime(v.AsDateTime());
    case FieldType::DateTime: {
      DateTime d = v.AsDateTime();
      std::string text = FormatShortDate(d);
      if (d.ms_of_day() != 0) text += " " + FormatLongTime(d);
      return text;
    }
    default:
      return v.AsString();
  }
}

const std::string& Field::display_label() const {
  return display_label_.empty() ? def_->name : display_label_;
}

std::string Field::DisplayText() const {
  const Value& v = value();
  if (v.IsNull()) return std::string();
  if (display_format_.empty()) return AsString();
  switch (def_->type) {
    case FieldType::BCD:
    case FieldType::Money:
    case FieldType::Float:
    case FieldType::Integer:
    case FieldType::SmallInt:
    case FieldType::AutoInc:
      return v.AsMoney().Format(display_format_);
    case FieldType::Date:
    case FieldType::Time:
    case FieldType::DateTime:
      return FormatDateTime(display_format_, v.AsDateTime());
    default:
      return AsString();
  }
}

void Field::Set(const Value& v) {
  owner_->SetCurrentValue(position_, ConvertForField(*def_, v));
}

// ---------------------------------------------------------------------------

struct DataSet::Impl {
  Impl(Store& s, std::string a, std::string t)
      : store(s), alias(std::move(a)), requested_table(std::move(t)) {}

  struct Filter {
    int field;
    Value value;
    bool case_insensitive;
  };

  Store& store;
  std::string alias;
  std::string requested_table;
  const TableDef* def = nullptr;
  std::string index_name;
  std::string index_field_names;
  bool read_only = false;
  // Whether only some fields are read with each row (`with_row`, by name
  // until Open, then `row_fields`, their positions) and the others when
  // first asked for.
  bool on_demand = false;
  std::vector<std::string> with_row;
  std::vector<int> row_fields;
  std::vector<FieldDef> calculated;
  struct Display {
    std::string field;
    std::string label;
    std::string format;
  };
  std::vector<Display> displays;
  std::function<void(DataSet&)> on_calc_fields;
  std::function<void(DataSet&)> on_new_record;
  std::function<void(DataSet&)> before_delete;

  DataSet* master = nullptr;
  std::vector<std::string> detail_fields;
  std::vector<std::string> master_fields;
  std::vector<DataSet*> details;

  std::vector<Filter> filters;
  bool has_range = false;
  std::vector<Value> range_low;
  std::vector<Value> range_high;

  std::vector<IndexField> order;
  // The row ids of the set, in order: all of them (kAll), or only as many
  // as a request usually needs. A set is read whole only when a move needs
  // it (walking past the first rows, Prior from a row found by key, Last,
  // RecordCount), so that finding or adding one row in a table of years of
  // history costs what it costs in a new one.
  //   kFirstRows: the first kFirstRowsListed rows of a larger set;
  //     positions are the rows' places in the set.
  //   kOneRow: only the current row, found by key or just written, whose
  //     place in the set is not known (position 0).
  // A set of up to kFirstRowsListed rows is always read whole, so that
  // small sets behave exactly as when every set was.
  enum class Listing { kAll, kFirstRows, kOneRow };
  static constexpr size_t kFirstRowsListed = 256;
  Listing listing = Listing::kAll;
  std::vector<int64_t> rowids;
  int position = -1;  // index into rowids; -1 when there is no current row
  int64_t current_rowid = 0;
  std::vector<Value> current;
  std::vector<bool> changed;
  // With fields read on demand: the stored fields of the current row not
  // read yet, and the statement that reads each.
  std::vector<bool> unread;
  std::vector<std::unique_ptr<Statement>> field_reads;
  int stored_count = 0;

  // Fields found by name, by the name as asked for: calculations ask for
  // the same few fields of a table of a hundred on every row.
  struct NameMemo {
    std::string name;
    Field* field = nullptr;
  };
  static constexpr size_t kNameMemoSlots = 128;
  std::array<NameMemo, kNameMemoSlots> name_memo;
  NameMemo& MemoSlot(std::string_view name) {
    // FNV-1a: names such as "DeliveryStreetNo" and "DeliveryStreetName"
    // differ only in a few bytes.
    uint32_t hash = 2166136261u;
    for (char c : name) hash = (hash ^ static_cast<unsigned char>(c)) * 16777619u;
    return name_memo[hash % kNameMemoSlots];
  }
  void ForgetNames() {
    for (NameMemo& memo : name_memo) memo.field = nullptr;
  }

  EngineConnection& db() { return store.Connection(alias); }
  const std::string& table() const { return def->name; }
  std::string NoCase(std::string_view expression) const {
    return store.Connection(alias).NoCase(expression);
  }

  int StoredFieldIndex(std::string_view name) const {
    for (size_t i = 0; i < def->fields.size(); ++i) {
      const std::string& candidate = def->fields[i].name;
      if (candidate.size() == name.size() && EqualsNoCase1252(candidate, name)) {
        return static_cast<int>(i);
      }
    }
    return -1;
  }
  int RequireStoredField(std::string_view name) const {
    int i = StoredFieldIndex(name);
    if (i < 0) Fail(table() + ": Field '" + std::string(name) + "' not found");
    return i;
  }

  // The fields read with each row, by position in the stored fields.
  std::vector<int> FieldsReadWithRow() const {
    std::vector<int> positions;
    if (!on_demand) {
      for (size_t i = 0; i < def->fields.size(); ++i) positions.push_back(static_cast<int>(i));
    } else {
      // Calculated fields may be named with the stored ones: they are
      // worked out from the row, never read.
      for (const std::string& name : with_row) {
        int i = StoredFieldIndex(name);
        if (i >= 0 && std::find(positions.begin(), positions.end(), i) == positions.end()) {
          positions.push_back(i);
        }
      }
    }
    return positions;
  }

  std::string ColumnList() const {
    std::string list;
    for (int i : row_fields) {
      list += ", ";
      list += QuoteIdentifier(def->fields[static_cast<size_t>(i)].name);
    }
    return list;
  }

  // The WHERE clause of the rows this data set shows, with its bindings.
  // False when a master link makes the set empty without asking the store.
  bool Restriction(std::string* where, std::vector<Value>* binds) const {
    std::vector<std::string> terms;
    if (master) {
      if (!master->Active() || master->impl_->position < 0) return false;
      for (size_t i = 0; i < detail_fields.size(); ++i) {
        int f = RequireStoredField(detail_fields[i]);
        Value v = ConvertForField(def->fields[f], master->FieldByName(master_fields[i]).value());
        if (v.IsNull()) {
          terms.push_back(QuoteIdentifier(def->fields[f].name) + " IS NULL");
        } else {
          terms.push_back(QuoteIdentifier(def->fields[f].name) + " = ?");
          binds->push_back(std::move(v));
        }
      }
    }
    for (const Filter& filter : filters) {
      const FieldDef& f = def->fields[filter.field];
      Value v = ComparableForField(f, filter.value);
      if (v.IsNull()) {
        terms.push_back(QuoteIdentifier(f.name) + " IS NULL");
      } else {
        std::string term = QuoteIdentifier(f.name) + " = ?";
        if (filter.case_insensitive) term = NoCase(QuoteIdentifier(f.name)) + " = " + NoCase("?");
        terms.push_back(term);
        binds->push_back(std::move(v));
      }
    }
    if (has_range) {
      AddRangeTerm(range_low, ">=", &terms, binds);
      AddRangeTerm(range_high, "<=", &terms, binds);
    }
    where->clear();
    for (const std::string& term : terms) {
      *where += where->empty() ? " WHERE " : " AND ";
      *where += term;
    }
    return true;
  }

  void AddRangeTerm(const std::vector<Value>& bound, const char* op,
                    std::vector<std::string>* terms, std::vector<Value>* binds) const {
    if (bound.empty()) return;
    if (bound.size() > order.size()) Fail(table() + ": range has more values than index fields");
    std::string left = "(";
    std::string right = "(";
    for (size_t i = 0; i < bound.size(); ++i) {
      int f = RequireStoredField(order[i].name);
      left += (i ? ", " : "") + QuoteIdentifier(def->fields[f].name);
      right += i ? ", ?" : "?";
      binds->push_back(ComparableForField(def->fields[f], bound[i]));
    }
    terms->push_back(left + ") " + op + " " + right + ")");
  }

  std::string OrderBy() const {
    const EngineConnection& connection = store.Connection(alias);
    std::string sql = " ORDER BY ";
    for (const IndexField& f : order) {
      const std::string column = QuoteIdentifier(f.name);
      sql += connection.OrderTerm(f.case_insensitive ? connection.NoCase(column) : column,
                                  f.descending) +
             ", ";
    }
    return sql + "rowid";
  }

  void ResolveOrder() {
    order.clear();
    if (!index_name.empty()) {
      const IndexDef* index = def->FindIndex(index_name);
      if (!index) Fail(table() + ": Index '" + index_name + "' not found");
      order = index->fields;
    } else if (!index_field_names.empty()) {
      std::string_view rest = index_field_names;
      while (!rest.empty()) {
        size_t cut = rest.find(';');
        std::string_view name = Trim(rest.substr(0, cut));
        rest = cut == std::string_view::npos ? std::string_view() : rest.substr(cut + 1);
        if (name.empty()) continue;
        order.push_back(IndexField{def->fields[RequireStoredField(name)].name, false, false});
      }
    }
  }

  // Reads the row ids of the set, up to `limit` of them (0: all). A set
  // that reads chosen fields with its rows is one its caller walks to the
  // end: it is listed whole, and those fields come with the row ids, in
  // the same statement, as rows read ahead.
  void ListRows(size_t limit) {
    rowids.clear();
    listing = Listing::kAll;
    ForgetReadAhead();
    std::string where;
    std::vector<Value> binds;
    if (!Restriction(&where, &binds)) return;
    const bool with_fields = on_demand;
    if (with_fields) limit = 0;
    Statement stmt(db(), "SELECT rowid" + (with_fields ? ColumnList() : std::string()) + " FROM " +
                             QuoteIdentifier(table()) + where + OrderBy());
    for (size_t i = 0; i < binds.size(); ++i) stmt.Bind(static_cast<int>(i + 1), binds[i]);
    while (stmt.Step()) {
      rowids.push_back(stmt.ReadInteger(0));
      if (with_fields) ReadAheadRow(stmt);
      if (rowids.size() == limit) {
        if (stmt.Step()) listing = Listing::kFirstRows;
        break;
      }
    }
    if (with_fields) {
      ahead_changes = db().TotalChanges();
      just_listed = true;
    }
  }
  void LoadRowids() { ListRows(0); }
  // The set whole when it is small, else its first rows. The statement is
  // the one LoadRowids runs, so reading the rest later prepares nothing.
  void LoadFirstRows() { ListRows(kFirstRowsListed); }

  // Whether the row belongs to the set as it stands in the store.
  bool IsMember(int64_t rowid) const {
    std::string where;
    std::vector<Value> binds;
    if (!Restriction(&where, &binds)) return false;
    where += where.empty() ? " WHERE " : " AND ";
    Statement stmt(store.Connection(alias),
                   "SELECT rowid FROM " + QuoteIdentifier(def->name) + where + "rowid = ?");
    for (size_t i = 0; i < binds.size(); ++i) stmt.Bind(static_cast<int>(i + 1), binds[i]);
    stmt.Bind(static_cast<int>(binds.size() + 1), Value::Integer(rowid));
    return stmt.Step();
  }

  // Stands for the set by its one row `rowid` (kOneRow).
  void ListOnly(int64_t rowid) {
    rowids.assign(1, rowid);
    listing = Listing::kOneRow;
    ForgetReadAhead();
  }

  // Reads the whole row list of a set read only in part, keeping the
  // current row.
  void ListAll(DataSet& self) {
    if (listing == Listing::kAll) return;
    const int old_position = position;
    const int64_t rowid = current_rowid;
    LoadRowids();
    if (old_position < 0) return;
    position = PositionOf(rowid);
    if (position >= 0) return;
    // The row left the set meanwhile (another process deleted or changed
    // it): stand near its place, as a move onto a row that is gone does.
    self.MoveTo(std::min(old_position, static_cast<int>(rowids.size()) - 1));
  }

  int PositionOf(int64_t rowid) const {
    auto found = std::find(rowids.begin(), rowids.end(), rowid);
    return found == rowids.end() ? -1 : static_cast<int>(found - rowids.begin());
  }

  void ClearBuffer() {
    current.assign(def->fields.size() + calculated.size(), Value::Null());
    changed.assign(current.size(), false);
    unread.assign(current.size(), false);
  }

  // A data set that reads fields on demand checks at Open that the table
  // has every declared field, as preparing a read of them all would.
  // The store remembers a table found whole on its connection, so that a
  // process serving many requests checks each table once.
  void CheckFieldsExist() {
    if (store.FieldsFound(alias, table())) return;
    for (const FieldDef& f : def->fields) {
      if (!db().ColumnExists(table(), f.name)) {
        // A table that is not there at all is reported in the engine's
        // own words, as a read of it would be.
        PrepareRowRead();
        Fail(table() + ": no such column: " + f.name);
      }
    }
    store.NoteFieldsFound(alias, table());
  }

  void LoadField(int at) {
    std::unique_ptr<Statement>& read = field_reads[static_cast<size_t>(at)];
    const FieldDef& f = def->fields[static_cast<size_t>(at)];
    if (!read) {
      read = std::make_unique<Statement>(db(), "SELECT " + QuoteIdentifier(f.name) + " FROM " +
                                                   QuoteIdentifier(table()) + " WHERE rowid = ?");
    }
    read->Reset();
    read->Bind(1, Value::Integer(current_rowid));
    current[static_cast<size_t>(at)] = read->Step() ? read->Read(0, f) : Value::Null();
    read->Reset();
    unread[static_cast<size_t>(at)] = false;
  }

  // One statement reads up to kRowsPerRead rows by rowid. It is prepared
  // once per data set; a single move reads one row with it, a walk with
  // Next reads the rows that follow as well.
  static constexpr int kRowsPerRead = 16;
  void ResolveRowFields() {
    if (row_fields_known) return;
    row_fields = FieldsReadWithRow();
    row_fields_known = true;
  }
  void PrepareRowRead() {
    if (!read_rows) {
      ResolveRowFields();
      std::string marks = "?";
      for (int i = 1; i < kRowsPerRead; ++i) marks += ", ?";
      read_rows = std::make_unique<Statement>(db(), "SELECT rowid" + ColumnList() + " FROM " +
                                                        QuoteIdentifier(table()) +
                                                        " WHERE rowid IN (" + marks + ")");
    }
  }

  // Reads the stored fields of the rows at positions [first, first + count)
  // of the list into `ahead`; a row that is gone stays out of it.
  void ReadRows(int first, int count) {
    PrepareRowRead();
    ahead.clear();
    ahead_next = 0;
    read_rows->Reset();
    for (int i = 0; i < count; ++i) {
      read_rows->Bind(i + 1, Value::Integer(rowids[static_cast<size_t>(first + i)]));
    }
    while (read_rows->Step()) ReadAheadRow(*read_rows);
    read_rows->Reset();
    ahead_changes = db().TotalChanges();
  }

  // Keeps the statement's row (rowid, then the fields read with a row) as
  // a row read ahead.
  void ReadAheadRow(const Statement& stmt) {
    AheadRow& row = ahead.emplace_back();
    row.rowid = stmt.ReadInteger(0);
    row.values.reserve(row_fields.size());
    for (size_t k = 0; k < row_fields.size(); ++k) {
      row.values.push_back(
          stmt.Read(static_cast<int>(k + 1), def->fields[static_cast<size_t>(row_fields[k])]));
    }
  }

  // Reads the stored fields of the row at a position into the record;
  // false when the row is gone. Walking on with Next (`walking_on`), the rows
  // that follow are read in the same statement and kept for the next
  // moves: they are as the store held them at that read, as rows are
  // within one statement. Once this connection writes anything they are
  // read again by rowid, since a row may have changed or gone.
  // The first move after a listing that read the rows takes its row from
  // them as well, whichever way it moves.
  bool ReadRowAt(int at, bool walking_on) {
    int64_t rowid = rowids[static_cast<size_t>(at)];
    const bool listed_now = std::exchange(just_listed, false);
    const bool take_ahead = walking_on || listed_now;
    if (!take_ahead || ahead_changes != db().TotalChanges() || !TakeAhead(rowid, true)) {
      int rest = static_cast<int>(rowids.size()) - at;
      int count = walking_on ? std::min(ahead_span, rest) : 1;
      if (walking_on) ahead_span = std::min(ahead_span * 2, kRowsPerRead);
      ReadRows(at, count);
      if (!TakeAhead(rowid, walking_on)) {
        ClearBuffer();
        return false;
      }
    }
    return true;
  }

  // Moves the row read ahead for `rowid` into the record; false when there
  // is none. Each row read ahead is used once: moving back to it reads it
  // again. A walk takes the rows in order, so the search starts after the
  // row taken last.
  bool TakeAhead(int64_t rowid, bool keep_rest) {
    const size_t count = ahead.size();
    for (size_t k = 0; k < count; ++k) {
      const size_t at = (ahead_next + k) % count;
      AheadRow& row = ahead[at];
      if (row.rowid != rowid || row.taken) continue;
      PlaceRow(row.values);
      row.taken = true;
      row.values.clear();
      ahead_next = at + 1;
      if (!keep_rest) ForgetReadAhead();
      return true;
    }
    return false;
  }

  // Makes `values` (of the fields read with a row, in their order) the
  // record. The record's other stored fields are either read with the row
  // too or marked unread, so only calculated fields need clearing: a table
  // of a hundred fields costs per row what its fields read cost.
  void PlaceRow(std::vector<Value>& values) {
    const size_t stored = def->fields.size();
    current.resize(stored + calculated.size());
    for (size_t k = 0; k < row_fields.size(); ++k) {
      current[static_cast<size_t>(row_fields[k])] = std::move(values[k]);
    }
    for (size_t i = stored; i < current.size(); ++i) current[i] = Value::Null();
    changed.assign(current.size(), false);
    unread.assign(current.size(), false);
    if (on_demand) {
      std::fill(unread.begin(), unread.begin() + static_cast<long>(stored), true);
      for (int i : row_fields) unread[static_cast<size_t>(i)] = false;
    }
  }

  void ForgetReadAhead() {
    ahead.clear();
    ahead_next = 0;
    ahead_span = kFirstWalkRead;
    just_listed = false;
  }

  struct AheadRow {
    int64_t rowid = 0;
    bool taken = false;
    std::vector<Value> values;  // the fields read with a row, in row_fields order
  };
  // A walk reads a few rows ahead at first and more as it goes on, so that
  // a walk that stops early reads little it does not use.
  static constexpr int kFirstWalkRead = 4;
  std::unique_ptr<Statement> read_rows;
  bool row_fields_known = false;
  std::vector<AheadRow> ahead;
  size_t ahead_next = 0;  // where the search for the next row read ahead starts
  // Whether the rows read ahead came with the listing just made.
  bool just_listed = false;
  int64_t ahead_changes = 0;
  int ahead_span = kFirstWalkRead;
};

// ---------------------------------------------------------------------------

DataSet::DataSet(Store& store, std::string alias, std::string table_name)
    : impl_(std::make_unique<Impl>(store, std::move(alias), std::move(table_name))) {
  impl_->def = &store.Definition(impl_->alias, impl_->requested_table);
}

DataSet::~DataSet() {
  for (DataSet* detail : impl_->details) detail->impl_->master = nullptr;
  if (impl_->master) {
    auto& siblings = impl_->master->impl_->details;
    siblings.erase(std::remove(siblings.begin(), siblings.end(), this), siblings.end());
  }
}

const std::string& DataSet::table_name() const {
  return impl_->table();
}

void DataSet::SetIndexName(std::string index_name) {
  impl_->index_name = std::move(index_name);
  impl_->index_field_names.clear();
  if (Active()) Refresh();
}

void DataSet::SetIndexFieldNames(std::string field_names) {
  impl_->index_field_names = std::move(field_names);
  impl_->index_name.clear();
  if (Active()) Refresh();
}

void DataSet::SetReadOnly(bool read_only) {
  impl_->read_only = read_only;
}

void DataSet::SetFieldsReadWithRow(std::vector<std::string> field_names) {
  if (Active())
    Fail(table_name() + ": the fields read with a row are set while the table is closed");
  impl_->on_demand = true;
  impl_->with_row = std::move(field_names);
  impl_->read_rows.reset();
  impl_->row_fields_known = false;
}

void DataSet::AddCalculatedField(FieldDef def) {
  if (Active()) Fail(table_name() + ": calculated fields are added while the table is closed");
  impl_->calculated.push_back(std::move(def));
  // The fields refer to the definitions, which may have moved; the next
  // Open builds them again.
  impl_->ForgetNames();
  fields_.clear();
  field_storage_.clear();
}

void DataSet::SetOnCalcFields(std::function<void(DataSet&)> handler) {
  impl_->on_calc_fields = std::move(handler);
}
void DataSet::SetOnNewRecord(std::function<void(DataSet&)> handler) {
  impl_->on_new_record = std::move(handler);
}
void DataSet::SetBeforeDelete(std::function<void(DataSet&)> handler) {
  impl_->before_delete = std::move(handler);
}

void DataSet::SetDisplayLabel(std::string_view field_name, std::string label) {
  impl_->displays.push_back({std::string(field_name), label, ""});
  if (Field* field = FindField(field_name)) field->set_display_label(std::move(label));
}

void DataSet::SetDisplayFormat(std::string_view field_name, std::string format) {
  impl_->displays.push_back({std::string(field_name), "", format});
  if (Field* field = FindField(field_name)) field->set_display_format(std::move(format));
}

void DataSet::SetMasterLink(DataSet* master, std::vector<std::string> detail_fields,
                            std::vector<std::string> master_fields) {
  if (detail_fields.size() != master_fields.size()) {
    Fail(table_name() + ": master link needs as many detail fields as master fields");
  }
  if (impl_->master) {
    auto& siblings = impl_->master->impl_->details;
    siblings.erase(std::remove(siblings.begin(), siblings.end(), this), siblings.end());
  }
  impl_->master = master;
  impl_->detail_fields = std::move(detail_fields);
  impl_->master_fields = std::move(master_fields);
  if (master) master->impl_->details.push_back(this);
  if (Active()) Refresh();
}

void DataSet::AddFilter(std::string field_name, Value value, bool case_insensitive) {
  int f = impl_->RequireStoredField(field_name);
  impl_->filters.push_back(Impl::Filter{f, std::move(value), case_insensitive});
  if (Active()) Refresh();
}

void DataSet::ClearFilters() {
  impl_->filters.clear();
  if (Active()) Refresh();
}

void DataSet::SetRange(std::vector<Value> low, std::vector<Value> high) {
  impl_->has_range = true;
  impl_->range_low = std::move(low);
  impl_->range_high = std::move(high);
  if (Active()) Refresh();
}

void DataSet::CancelRange() {
  impl_->has_range = false;
  impl_->range_low.clear();
  impl_->range_high.clear();
  if (Active()) Refresh();
}

void DataSet::Open() {
  if (Active()) return;
  Impl& d = *impl_;
  // Preparing the row read fails on a missing table or a missing or
  // renamed field, before any row is read; a set that reads its fields on
  // demand checks them instead and prepares the read when a move needs it.
  d.ResolveRowFields();
  if (d.on_demand) {
    d.CheckFieldsExist();
    d.field_reads.resize(d.def->fields.size());
  } else {
    d.PrepareRowRead();
  }
  // The fields stay from one Open to the next unless a calculated field
  // was added meanwhile: a set opened for every request builds them once.
  if (fields_.size() != d.def->fields.size() + d.calculated.size()) {
    d.ForgetNames();
    fields_.clear();
    field_storage_.clear();
    field_storage_.reserve(d.def->fields.size() + d.calculated.size());
    for (size_t i = 0; i < d.def->fields.size(); ++i) {
      field_storage_.emplace_back(this, d.def->fields[i], static_cast<int>(i), false);
    }
    for (size_t i = 0; i < d.calculated.size(); ++i) {
      field_storage_.emplace_back(this, d.calculated[i], static_cast<int>(d.def->fields.size() + i),
                                  true);
    }
    for (Field& field : field_storage_) fields_.push_back(&field);
  }
  for (const Impl::Display& display : d.displays) {
    if (Field* field = FindField(display.field)) {
      if (!display.label.empty()) field->set_display_label(display.label);
      if (!display.format.empty()) field->set_display_format(display.format);
    }
  }
  d.ResolveOrder();
  state_ = State::kBrowse;
  d.LoadFirstRows();
  First();
}

void DataSet::Close() {
  if (!Active()) return;
  state_ = State::kInactive;
  impl_->rowids.clear();
  impl_->listing = Impl::Listing::kAll;
  impl_->position = -1;
  impl_->ClearBuffer();
  eof_ = bof_ = true;
  for (DataSet* detail : impl_->details) detail->SyncWithMaster();
}

void DataSet::SyncWithMaster() {
  if (!Active()) return;
  if (state_ == State::kEdit || state_ == State::kInsert) Cancel();
  impl_->LoadFirstRows();
  First();
}

void DataSet::First() {
  CheckBrowseMode();
  if (impl_->listing == Impl::Listing::kOneRow) impl_->LoadFirstRows();
  MoveTo(0);
  bof_ = true;
  eof_ = impl_->rowids.empty();
}

void DataSet::Next() {
  CheckBrowseMode();
  if (impl_->listing == Impl::Listing::kOneRow ||
      (impl_->listing == Impl::Listing::kFirstRows &&
       impl_->position + 1 >= static_cast<int>(impl_->rowids.size()))) {
    impl_->ListAll(*this);
  }
  int next = impl_->position + 1;
  if (next >= static_cast<int>(impl_->rowids.size())) {
    eof_ = true;
    return;
  }
  MoveTo(next, /*walking_on=*/true);
  bof_ = false;
  eof_ = false;
}

void DataSet::Prior() {
  CheckBrowseMode();
  if (impl_->listing == Impl::Listing::kOneRow) impl_->ListAll(*this);
  int prior = impl_->position - 1;
  if (prior < 0) {
    bof_ = true;
    return;
  }
  MoveTo(prior);
  bof_ = false;
  eof_ = false;
}

void DataSet::Last() {
  CheckBrowseMode();
  impl_->ListAll(*this);
  MoveTo(static_cast<int>(impl_->rowids.size()) - 1);
  eof_ = true;
  bof_ = impl_->rowids.empty();
}

int DataSet::RecordCount() {
  if (!Active()) Fail(table_name() + ": Cannot perform this operation on a closed dataset");
  impl_->ListAll(*this);
  return static_cast<int>(impl_->rowids.size());
}

bool DataSet::IsEmpty() {
  if (!Active()) Fail(table_name() + ": Cannot perform this operation on a closed dataset");
  // A set not read whole has rows; it is read whole only if they are gone.
  if (impl_->listing != Impl::Listing::kAll && !impl_->rowids.empty()) return false;
  return RecordCount() == 0;
}

bool DataSet::Locate(const std::vector<std::pair<std::string, Value>>& criteria,
                     bool case_insensitive) {
  CheckBrowseMode();
  Impl& d = *impl_;
  std::string where;
  std::vector<Value> binds;
  if (!d.Restriction(&where, &binds)) return false;
  for (const auto& [name, raw] : criteria) {
    const FieldDef& f = d.def->fields[d.RequireStoredField(name)];
    Value v = ComparableForField(f, raw);
    where += where.empty() ? " WHERE " : " AND ";
    if (v.IsNull()) {
      where += QuoteIdentifier(f.name) + " IS NULL";
      continue;
    }
    where += case_insensitive && IsTextType(f.type)
                 ? d.NoCase(QuoteIdentifier(f.name)) + " = " + d.NoCase("?")
                 : QuoteIdentifier(f.name) + " = ?";
    binds.push_back(std::move(v));
  }
  Statement stmt(
      d.db(), "SELECT rowid FROM " + QuoteIdentifier(d.table()) + where + d.OrderBy() + " LIMIT 1");
  for (size_t i = 0; i < binds.size(); ++i) stmt.Bind(static_cast<int>(i + 1), binds[i]);
  if (!stmt.Step()) return false;
  int64_t rowid = stmt.ReadInteger(0);
  int position = d.PositionOf(rowid);
  if (position < 0) {  // beyond the rows read, or added since the set was read
    d.LoadFirstRows();
    position = d.PositionOf(rowid);
    if (position < 0 && d.listing != Impl::Listing::kAll) {
      // The statement above found it in the set: no need to read the set.
      d.ListOnly(rowid);
      position = 0;
    }
    if (position < 0) return false;
  }
  MoveTo(position);
  eof_ = bof_ = false;
  return true;
}

Field* DataSet::FindField(std::string_view name) {
  if (name.empty()) return nullptr;
  Impl::NameMemo& memo = impl_->MemoSlot(name);
  if (memo.field && memo.name == name) return memo.field;
  // Names of another length are passed over without a call into the
  // case-insensitive comparison.
  for (Field* field : fields_) {
    const std::string& candidate = field->name();
    if (candidate.size() == name.size() && EqualsNoCase1252(candidate, name)) {
      memo.name.assign(name);
      memo.field = field;
      return field;
    }
  }
  return nullptr;
}

Field& DataSet::FieldByName(std::string_view name) {
  if (!Active()) Fail(table_name() + ": Cannot perform this operation on a closed dataset");
  Field* field = FindField(name);
  if (!field) Fail(table_name() + ": Field '" + std::string(name) + "' not found");
  return *field;
}

void DataSet::CheckWritable() {
  if (!Active()) Fail(table_name() + ": Cannot perform this operation on a closed dataset");
  if (impl_->read_only) Fail(table_name() + ": Cannot modify a read-only dataset");
}

void DataSet::Edit() {
  CheckWritable();
  if (state_ == State::kEdit || state_ == State::kInsert) return;
  if (impl_->position < 0) Fail(table_name() + ": Cannot edit an empty dataset");
  state_ = State::kEdit;
  std::fill(impl_->changed.begin(), impl_->changed.end(), false);
}

void DataSet::Insert() {
  CheckWritable();
  CheckBrowseMode();
  impl_->ClearBuffer();
  state_ = State::kInsert;
  if (impl_->on_new_record) impl_->on_new_record(*this);
}

void DataSet::Append() {
  Insert();
}

void DataSet::Post() {
  Impl& d = *impl_;
  if (state_ != State::kEdit && state_ != State::kInsert) return;
  std::vector<size_t> columns;
  for (size_t i = 0; i < d.def->fields.size(); ++i) {
    if (d.changed[i] || (state_ == State::kInsert && !d.current[i].IsNull())) columns.push_back(i);
  }
  const std::string table = QuoteIdentifier(d.table());
  int64_t rowid = d.current_rowid;
  if (state_ == State::kInsert) {
    std::string names;
    std::string marks;
    for (size_t i : columns) {
      names += (names.empty() ? "" : ", ") + QuoteIdentifier(d.def->fields[i].name);
      marks += marks.empty() ? "?" : ", ?";
    }
    std::string sql = columns.empty()
                          ? "INSERT INTO " + table + " DEFAULT VALUES"
                          : "INSERT INTO " + table + " (" + names + ") VALUES (" + marks + ")";
    Statement stmt(d.db(), sql + " RETURNING rowid");
    for (size_t k = 0; k < columns.size(); ++k) {
      stmt.Bind(static_cast<int>(k + 1), d.current[columns[k]]);
    }
    if (!stmt.Step()) Fail(table_name() + ": the new record was not added");
    rowid = stmt.ReadInteger(0);
    while (stmt.Step()) {
    }
  } else if (!columns.empty()) {
    // Only the fields this edit changed: a concurrent writer of other fields keeps its values.
    std::string sets;
    for (size_t i : columns) {
      sets += (sets.empty() ? "" : ", ") + QuoteIdentifier(d.def->fields[i].name) + " = ?";
    }
    Statement stmt(d.db(), "UPDATE " + table + " SET " + sets + " WHERE rowid = ?");
    for (size_t k = 0; k < columns.size(); ++k) {
      stmt.Bind(static_cast<int>(k + 1), d.current[columns[k]]);
    }
    stmt.Bind(static_cast<int>(columns.size() + 1), Value::Integer(rowid));
    stmt.Step();
  }
  state_ = State::kBrowse;
  ReloadAt(rowid);
}

void DataSet::Cancel() {
  if (state_ != State::kEdit && state_ != State::kInsert) return;
  state_ = State::kBrowse;
  MoveTo(impl_->position);
}

void DataSet::Delete() {
  CheckWritable();
  Impl& d = *impl_;
  if (state_ == State::kInsert) {
    Cancel();
    return;
  }
  if (d.position < 0) Fail(table_name() + ": Cannot delete from an empty dataset");
  // The row's place is where the set stands afterwards.
  if (d.listing == Impl::Listing::kOneRow) impl_->ListAll(*this);
  if (d.before_delete) d.before_delete(*this);
  Statement stmt(d.db(), "DELETE FROM " + QuoteIdentifier(d.table()) + " WHERE rowid = ?");
  stmt.Bind(1, Value::Integer(d.current_rowid));
  stmt.Step();
  state_ = State::kBrowse;
  int position = d.position;
  d.LoadFirstRows();
  if (d.listing != Impl::Listing::kAll && position >= static_cast<int>(d.rowids.size())) {
    d.LoadRowids();
  }
  MoveTo(std::min(position, static_cast<int>(d.rowids.size()) - 1));
  eof_ = d.rowids.empty() || position >= static_cast<int>(d.rowids.size());
  bof_ = d.rowids.empty();
}

void DataSet::Refresh() {
  CheckBrowseMode();
  ReloadAt(impl_->position >= 0 ? impl_->current_rowid : -1);
}

int64_t DataSet::IncrementField(std::string_view name) {
  CheckWritable();
  Impl& d = *impl_;
  if (state_ != State::kBrowse) Fail(table_name() + ": Dataset not in browse mode");
  if (d.position < 0) Fail(table_name() + ": Cannot edit an empty dataset");
  int f = d.RequireStoredField(name);
  const std::string column = QuoteIdentifier(d.def->fields[f].name);
  // One UPDATE statement is atomic across processes: no two callers can
  // read the same old value.
  Statement stmt(d.db(), "UPDATE " + QuoteIdentifier(d.table()) + " SET " + column +
                             " = COALESCE(" + column + ", 0) + 1 WHERE rowid = ? RETURNING " +
                             column);
  stmt.Bind(1, Value::Integer(d.current_rowid));
  if (!stmt.Step()) Fail(table_name() + ": Record not found or changed by another user");
  int64_t incremented = stmt.ReadInteger(0);
  while (stmt.Step()) {
  }
  d.current[f] = Value::Integer(incremented);
  d.unread[f] = false;
  return incremented - 1;
}

bool DataSet::ReplaceFieldIfUnchanged(std::string_view name, const Value& value) {
  CheckWritable();
  Impl& d = *impl_;
  if (state_ != State::kBrowse) Fail(table_name() + ": Dataset not in browse mode");
  if (d.position < 0) Fail(table_name() + ": Cannot edit an empty dataset");
  int f = d.RequireStoredField(name);
  const FieldDef& def = d.def->fields[f];
  Value replacement = ConvertForField(def, value);
  const Value& read = CurrentValue(f);
  std::string column = QuoteIdentifier(def.name);
  std::string unchanged = column + " IS NULL";
  if (!read.IsNull()) {
    // Text and bytes compare as bytes, whichever of the two another program stored.
    unchanged = IsTextType(def.type) || IsBinaryType(def.type)
                    ? d.db().AsBytes(column) + " = " + d.db().AsBytes("?")
                    : column + " = ?";
  }
  Statement stmt(d.db(), "UPDATE " + QuoteIdentifier(d.table()) + " SET " + column +
                             " = ? WHERE rowid = ? AND " + unchanged);
  stmt.Bind(1, replacement);
  stmt.Bind(2, Value::Integer(d.current_rowid));
  if (!read.IsNull()) stmt.Bind(3, read);
  stmt.Step();
  if (stmt.Changes() == 0) return false;
  d.current[f] = std::move(replacement);
  return true;
}

// --- private helpers -------------------------------------------------------

const Value& DataSet::CurrentValue(int position) const {
  if (!Active()) Fail(impl_->table() + ": Cannot perform this operation on a closed dataset");
  if (impl_->unread[position]) impl_->LoadField(position);
  return impl_->current[position];
}

void DataSet::SetCurrentValue(int position, Value v) {
  Impl& d = *impl_;
  bool calculated = position >= static_cast<int>(d.def->fields.size());
  if (calculated) {
    if (state_ != State::kCalcFields && state_ != State::kEdit && state_ != State::kInsert) {
      Fail(table_name() + ": Dataset not in edit or insert mode");
    }
  } else if (state_ != State::kEdit && state_ != State::kInsert) {
    Fail(table_name() + ": Dataset not in edit or insert mode");
  }
  d.current[position] = std::move(v);
  d.changed[position] = true;
  d.unread[position] = false;
}

void DataSet::CheckBrowseMode() {
  if (!Active()) Fail(table_name() + ": Cannot perform this operation on a closed dataset");
  if (state_ == State::kEdit || state_ == State::kInsert) Post();
}

void DataSet::MoveTo(int position, bool walking_on) {
  Impl& d = *impl_;
  d.position = -1;
  while (position >= 0 && position < static_cast<int>(d.rowids.size())) {
    if (d.ReadRowAt(position, walking_on)) {
      d.position = position;
      d.current_rowid = d.rowids[position];
      break;
    }
    // Deleted by another process since the set was read.
    if (d.listing == Impl::Listing::kOneRow) {
      d.LoadFirstRows();
      position = 0;
      continue;
    }
    d.rowids.erase(d.rowids.begin() + position);
    if (position >= static_cast<int>(d.rowids.size())) --position;
  }
  if (d.position < 0) d.ClearBuffer();
  if (d.position >= 0 && d.on_calc_fields) {
    state_ = State::kCalcFields;
    try {
      d.on_calc_fields(*this);
    } catch (...) {
      state_ = State::kBrowse;
      throw;
    }
    state_ = State::kBrowse;
  }
  std::fill(d.changed.begin(), d.changed.end(), false);
  for (DataSet* detail : d.details) detail->SyncWithMaster();
}

void DataSet::ReloadAt(int64_t rowid) {
  Impl& d = *impl_;
  const int old_position = d.position;
  const bool place_known = d.listing != Impl::Listing::kOneRow;
  d.LoadFirstRows();
  int position = rowid >= 0 ? d.PositionOf(rowid) : -1;
  if (position < 0 && rowid >= 0 && d.listing != Impl::Listing::kAll && d.IsMember(rowid)) {
    d.ListOnly(rowid);
    position = 0;
  }
  if (position < 0) {
    // Near the old place; a row found by key in a large set had its place
    // far down, so it becomes the last row of a set read whole and the
    // first of one that is not.
    int near = std::max(old_position, 0);
    if (!place_known)
      near = d.listing == Impl::Listing::kAll ? static_cast<int>(d.rowids.size()) : 0;
    if (d.listing != Impl::Listing::kAll && near >= static_cast<int>(d.rowids.size())) {
      d.LoadRowids();
    }
    position = std::min(near, static_cast<int>(d.rowids.size()) - 1);
  }
  MoveTo(position);
  eof_ = bof_ = d.rowids.empty();
}

}  // namespace portavel
