#include "data/key_broker.h"

#include <optional>

#include "data/data_set.h"
#include "data/store.h"
#include "platform/platform.h"
#include "text/cp1252.h"

namespace portavel {
namespace {

constexpr int kMaxAttempts = 30;
constexpr int kRetryDelayMs = 100;

}  // namespace

TIndexBroker::TIndexBroker(Store& store, Platform& platform, std::string_view table_name,
                           std::string_view field_name)
    : store_(store), platform_(platform) {
  SetTableName(table_name);
  SetFieldName(field_name);
}

void TIndexBroker::SetTableName(std::string_view name) {
  std::string_view trimmed = Trim(name);
  if (trimmed.size() >= 3 && EqualsNoCase1252(trimmed.substr(trimmed.size() - 3), ".db")) {
    trimmed.remove_suffix(3);
  }
  table_name_ = std::string(trimmed);
  valid_ = !table_name_.empty() && !field_name_.empty();
}

void TIndexBroker::SetFieldName(std::string_view name) {
  field_name_ = std::string(Trim(name));
  valid_ = !table_name_.empty() && !field_name_.empty();
}

int32_t TIndexBroker::GetNextNum() {
  if (!valid_) {
    throw KeyDrawError("TIndexBroker: TableName and/or FieldName set to empty string.");
  }
  for (int attempt = 0; attempt < kMaxAttempts; ++attempt) {
    std::optional<DataSet> keys;
    try {
      keys.emplace(store_, "UserData", "Keys.db");
      keys->Open();
    } catch (const std::exception&) {
      // The key table may be briefly unavailable (locked, being restored): try again.
      platform_.SleepMilliseconds(kRetryDelayMs);
      continue;
    }
    if (!keys->Locate(
            {{"TableName", Value::Text(table_name_)}, {"FieldName", Value::Text(field_name_)}},
            /*case_insensitive=*/true)) {
      throw KeyDrawError("GetNextNum: table name '" + table_name_ + "' or field name '" +
                         field_name_ + "' not found in keys table");
    }
    return static_cast<int32_t>(keys->IncrementField("NextNumber"));
  }
  throw KeyDrawError("GetNextNum: maximum modification attempts exceeded for record in keys table");
}

int32_t GetNextKey(Store& store, Platform& platform, std::string_view table_name,
                   std::string_view field_name) {
  return TIndexBroker(store, platform, table_name, field_name).GetNextNum();
}

}  // namespace portavel
