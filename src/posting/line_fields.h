// Field values a posting row takes over from another table's current row.
#pragma once

#include <string_view>

#include "data/data_set.h"

namespace portavel {

// Sets `to_field` of the row being edited in `to` to the value of
// `from_field` in `from`'s current row, null included.
void CopyField(DataSet& to, std::string_view to_field, DataSet& from, std::string_view from_field);

// A line that sells a product takes over the product's names, unit,
// group, type, point of sale and GL accounts; its ProductKey is the
// caller's to set.
void CopyProductFields(DataSet& line, DataSet& product);

}  // namespace portavel
