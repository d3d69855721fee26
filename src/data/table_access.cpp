#include "data/table_access.h"

#include <algorithm>

#include "data/data_set.h"
#include "data/field_type.h"
#include "data/value.h"

namespace portavel {

void TSubject::Attach(TObserver* observer) {
  if (observer) observers_.push_back(observer);
}

void TSubject::Detach(TObserver* observer) {
  observers_.erase(std::remove(observers_.begin(), observers_.end(), observer), observers_.end());
}

void TSubject::Notify() {
  for (TObserver* observer : observers_) {
    if (observer->OnUpdate) observer->OnUpdate(*observer);
  }
}

// ---------------------------------------------------------------------------

namespace {

// The desktop program reads a text field as a number by converting its
// text, so an empty (null) text fails rather than reading as 0.
Value NumericSource(Field& field) {
  if (IsTextType(field.def().type)) return Value::Text(field.AsString());
  return field.value();
}

}  // namespace

TOrvikTable::TOrvikTable(Store& store, std::string_view table_name, std::string key_field_name)
    : table_(std::make_unique<DataSet>(store, "UserData", std::string(table_name))),
      key_field_name_(std::move(key_field_name)) {
  table_->Open();
}

TOrvikTable::~TOrvikTable() = default;

void TOrvikTable::PostRecord() {
  DataSet::State state = table_->state();
  if (state != DataSet::State::kEdit && state != DataSet::State::kInsert) return;
  try {
    table_->Post();
  } catch (const std::exception& e) {
    throw EEditFailed("Unable to post record", e.what());
  }
}

void TOrvikTable::EditRecord() {
  DataSet::State state = table_->state();
  if (state == DataSet::State::kEdit || state == DataSet::State::kInsert) return;
  try {
    table_->Edit();
  } catch (const StoreError& e) {
    throw EEditFailed("Unable to edit record", e.what());
  }
}

void TOrvikTable::RefreshTable() {
  table_->Refresh();
}

int64_t TOrvikTable::GetInteger(std::string_view name) {
  return NumericSource(table_->FieldByName(name)).AsInteger();
}

std::string TOrvikTable::GetString(std::string_view name) {
  return table_->FieldByName(name).AsString();
}

bool TOrvikTable::GetBoolean(std::string_view name) {
  return table_->FieldByName(name).AsBoolean();
}

Money TOrvikTable::GetCurrency(std::string_view name) {
  return NumericSource(table_->FieldByName(name)).AsMoney();
}

bool TOrvikTable::GetIntegerFlag(std::string_view name) {
  return GetInteger(name) == 1;
}

bool TOrvikTable::GetBooleanNot(std::string_view name) {
  return !GetBoolean(name);
}

void TOrvikTable::SetInteger(std::string_view name, int64_t value) {
  Field& field = table_->FieldByName(name);
  EditRecord();
  field.SetInteger(value);
}

void TOrvikTable::SetString(std::string_view name, std::string value) {
  Field& field = table_->FieldByName(name);
  EditRecord();
  field.SetString(std::move(value));
}

void TOrvikTable::SetBoolean(std::string_view name, bool value) {
  Field& field = table_->FieldByName(name);
  EditRecord();
  field.SetBoolean(value);
}

void TOrvikTable::SetCurrency(std::string_view name, Money value) {
  Field& field = table_->FieldByName(name);
  EditRecord();
  field.SetMoney(value);
}

void TOrvikTable::SetIntegerFlag(std::string_view name, bool value) {
  SetInteger(name, value ? 1 : 0);
}

void TOrvikTable::SetBooleanNot(std::string_view name, bool value) {
  SetBoolean(name, !value);
}

void TOrvikTable::SetYesNo(std::string_view name, bool value) {
  SetString(name, value ? "Yes" : "No");
}

// ---------------------------------------------------------------------------

void TOrvikDBObject::Initialize() {
  OpenStore();
  New();
}

void TOrvikDBObject::Load(int32_t key) {
  is_new_ = false;
  reading_ = true;
  try {
    ReadFields(key);
  } catch (...) {
    reading_ = false;
    throw;
  }
  reading_ = false;
  SetAllChanged(false);
  Notify();
}

void TOrvikDBObject::New() {
  is_new_ = true;
  InitNew();
  SetAllChanged(true);
  Notify();
}

void TOrvikDBObject::GrowTo(int n) {
  if (n < 0) throw std::out_of_range("Change flag index " + std::to_string(n) + " out of range");
  if (static_cast<size_t>(n) >= changed_.size()) changed_.resize(static_cast<size_t>(n) + 1, false);
}

bool TOrvikDBObject::IsChanged(int n) {
  GrowTo(n);
  return changed_[static_cast<size_t>(n)];
}

void TOrvikDBObject::SetChanged(int n, bool value) {
  GrowTo(n);
  changed_[static_cast<size_t>(n)] = value;
  if (value) Notify();
}

void TOrvikDBObject::SetAllChanged(bool value) {
  std::fill(changed_.begin(), changed_.end(), value);
}

}  // namespace portavel
