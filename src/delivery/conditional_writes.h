// Field writes that change a row only where the new value differs, so
// that a repeated delivery leaves the rows it finds as they were, and an
// absent value (-1, empty text, no date, 0) leaves the field alone.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "data/data_set.h"

namespace portavel {

// Compares `value`, converted to the field's type, with the field's value
// and only when they differ puts the data set into edit state and assigns
// it; nothing is posted. True when it wrote.
bool UpdateFieldIfChanged(DataSet& data, std::string_view field_name, const Value& value);

// The same, skipped for an absent value.
bool UpdateIntegerField(DataSet& data, std::string_view field_name, int64_t value);  // -1
bool UpdateStringField(DataSet& data, std::string_view field_name, const std::string& value);
bool UpdateDateField(DataSet& data, std::string_view field_name, DateTime value);   // no date
bool UpdateCurrencyField(DataSet& data, std::string_view field_name, Money value);  // 0

}  // namespace portavel
