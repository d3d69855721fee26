// A small object layer over single tables: an observable base, a table
// wrapper that reads and writes one field at a time and reports failed
// edits and posts as one exception class, and an abstract object kept in
// a table row with one change flag per value.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "money/money.h"

namespace portavel {

class DataSet;
class Store;

// Told of changes by the subjects it is attached to. An observer without
// an OnUpdate handler is skipped.
class TObserver {
 public:
  std::function<void(TObserver&)> OnUpdate;
};

class TSubject {
 public:
  TSubject() = default;
  virtual ~TSubject() = default;
  TSubject(const TSubject&) = delete;
  TSubject& operator=(const TSubject&) = delete;

  // The subject does not own its observers; each must stay alive while
  // attached.
  void Attach(TObserver* observer);
  void Detach(TObserver* observer);
  // Calls every observer's OnUpdate, in the order they were attached.
  void Notify();

 private:
  std::vector<TObserver*> observers_;
};

// "Unable to edit record" or "Unable to post record"; detail() keeps the
// store's own message for the log.
class EEditFailed : public std::runtime_error {
 public:
  EEditFailed(const std::string& message, std::string detail)
      : std::runtime_error(message), detail_(std::move(detail)) {}
  const std::string& detail() const { return detail_; }

 private:
  std::string detail_;
};

// An operation a descendant does not provide.
class EAbstractError : public std::logic_error {
 public:
  EAbstractError() : std::logic_error("Abstract Error") {}
};

// One table of the UserData database, open from construction to
// destruction; its current record is the first row until something moves
// it. Field names are matched without regard to case; an unknown name is
// the store's error.
class TOrvikTable {
 public:
  // Opening failures propagate.
  TOrvikTable(Store& store, std::string_view table_name, std::string key_field_name);
  ~TOrvikTable();
  TOrvikTable(const TOrvikTable&) = delete;
  TOrvikTable& operator=(const TOrvikTable&) = delete;

  // Posts a pending edit or insert; does nothing while browsing. A post
  // that fails throws EEditFailed "Unable to post record" and leaves the
  // record in its editing state.
  void PostRecord();
  // Starts editing the current record unless it is already being edited
  // or inserted. The store refusing the edit (no current record, a
  // read-only table) throws EEditFailed "Unable to edit record".
  void EditRecord();
  // Re-reads the table, staying on the same row.
  void RefreshTable();

  // Getters read the current record. A text field read as a number must
  // hold one (the empty text included), else the store's conversion error.
  int64_t GetInteger(std::string_view name);
  std::string GetString(std::string_view name);
  bool GetBoolean(std::string_view name);
  Money GetCurrency(std::string_view name);
  bool GetIntegerFlag(std::string_view name);  // the integer is exactly 1
  bool GetBooleanNot(std::string_view name);

  // Setters call EditRecord and leave the record in edit state; the
  // caller posts it.
  void SetInteger(std::string_view name, int64_t value);
  void SetString(std::string_view name, std::string value);
  void SetBoolean(std::string_view name, bool value);
  void SetCurrency(std::string_view name, Money value);
  void SetIntegerFlag(std::string_view name, bool value);  // 1 or 0
  void SetBooleanNot(std::string_view name, bool value);
  void SetYesNo(std::string_view name, bool value);  // "Yes" or "No"

  const std::string& key_field_name() const { return key_field_name_; }
  // The open table, for what the accessors do not cover (locating,
  // inserting).
  DataSet& data() { return *table_; }

 private:
  std::unique_ptr<DataSet> table_;
  std::string key_field_name_;
};

// An object kept in a table row. A descendant's constructor calls
// Initialize() once it is complete, since the store and the starting
// values are the descendant's.
class TOrvikDBObject : public TSubject {
 public:
  ~TOrvikDBObject() override = default;

  // Reads the object from its backing table. When ReadFields fails the
  // failure propagates with the change flags as they were and no
  // notification.
  void Load(int32_t key);
  // Starting values of a new object; every change flag set.
  void New();

  bool IsNew() const { return is_new_; }
  // True exactly while ReadFields runs.
  bool Reading() const { return reading_; }
  // Flags are indexed from 0 and grow on demand; a negative index throws
  // std::out_of_range.
  bool IsChanged(int n);
  void SetChanged(int n, bool value);
  void SetAllChanged(bool value);
  size_t ChangedCount() const { return changed_.size(); }

  virtual void OpenStore() = 0;
  virtual void ReadFields(int32_t key) = 0;
  virtual void InitNew() = 0;
  virtual void WriteFields() = 0;
  virtual int32_t GetKey() = 0;
  virtual bool IsValid() = 0;

 protected:
  TOrvikDBObject() = default;
  // OpenStore(), then New().
  void Initialize();

 private:
  void GrowTo(int n);

  bool is_new_ = false;
  bool reading_ = false;
  std::vector<bool> changed_ = std::vector<bool>(32, false);
};

}  // namespace portavel
