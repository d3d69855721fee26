// The key sequences of the Keys table that the programs draw from: each
// needs its row before the first key is drawn.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

namespace portavel {

class Store;

struct KeySequence {
  std::string_view table_name;
  std::string_view field_name;
};

std::span<const KeySequence> KeySequences();

// The rowid of the Keys row that serves a sequence: TableName and
// FieldName equal without regard to case. The event log finds its row by
// TableName alone, so for "Log" any FieldName matches. nullopt when there
// is none.
std::optional<int64_t> FindSequenceRow(Store& store, std::string_view table_name,
                                       std::string_view field_name);

}  // namespace portavel
