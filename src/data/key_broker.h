// New keys for every table come from the shared key table (Keys), which
// the desktop program draws from too; never from the existing rows.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

namespace portavel {

class Platform;
class Store;

class KeyDrawError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Draws the keys of one sequence: the Keys row whose TableName and
// FieldName match (without regard to case).
class TIndexBroker {
 public:
  TIndexBroker(Store& store, Platform& platform, std::string_view table_name,
               std::string_view field_name);

  // Trimmed; a final ".db" (any case) is dropped from a name of at least
  // three characters.
  void SetTableName(std::string_view name);
  void SetFieldName(std::string_view name);
  const std::string& table_name() const { return table_name_; }
  const std::string& field_name() const { return field_name_; }
  bool valid() const { return valid_; }

  // The row's NextNumber, which is advanced by one in the same atomic
  // step. Up to 30 attempts, 100 ms apart, while the key table cannot be
  // opened; a missing row or a failed update fails at once.
  int32_t GetNextNum();

 private:
  Store& store_;
  Platform& platform_;
  std::string table_name_;
  std::string field_name_;
  bool valid_ = false;
};

// One key from the sequence of (table, field).
int32_t GetNextKey(Store& store, Platform& platform, std::string_view table_name,
                   std::string_view field_name);

}  // namespace portavel
