#include "delivery/conditional_writes.h"

namespace portavel {

bool UpdateFieldIfChanged(DataSet& data, std::string_view field_name, const Value& value) {
  Field& field = data.FieldByName(field_name);
  Value converted = ConvertForField(field.def(), value);
  if (converted == field.value()) return false;
  data.Edit();
  field.Set(converted);
  return true;
}

bool UpdateIntegerField(DataSet& data, std::string_view field_name, int64_t value) {
  return value != -1 && UpdateFieldIfChanged(data, field_name, Value::Integer(value));
}

bool UpdateStringField(DataSet& data, std::string_view field_name, const std::string& value) {
  return !value.empty() && UpdateFieldIfChanged(data, field_name, Value::Text(value));
}

bool UpdateDateField(DataSet& data, std::string_view field_name, DateTime value) {
  return !value.IsNoDate() && UpdateFieldIfChanged(data, field_name, Value::DateTimeValue(value));
}

bool UpdateCurrencyField(DataSet& data, std::string_view field_name, Money value) {
  return !value.IsZero() && UpdateFieldIfChanged(data, field_name, Value::Currency(value));
}

}  // namespace portavel
