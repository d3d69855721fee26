// Making sure a row with a given key exists: the truck system keeps its own
// copy of the dealer's keys and may name a row the store does not have yet.
#pragma once

#include <cstdint>
#include <string_view>

#include "data/data_set.h"

namespace portavel {

// Whether the row is there afterwards, and whether it was there before.
enum class KeyedRow { kMissing, kFound, kMade };

// Opens `table` when it is closed (a failure throws std::runtime_error
// "Could not open <Table>.DB") and locates the row whose `key_field` is
// `key`. Without one it inserts a row, sets the key and posts it: the
// table's new-record handler runs as installed, so callers that want a
// bare row switch it off around the call. Unless kMissing, the table then
// stands on the row.
KeyedRow FindOrCreateByKey(DataSet& table, std::string_view key_field, int32_t key);

}  // namespace portavel
