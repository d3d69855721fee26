// What `portavel-db check` can find wrong with an alias's tables on a
// PostgreSQL server. The server checks its own pages; what the store can
// see is whether its tables are still as `init` made them, whether its key
// counters are ahead of its keys, and whether another program stored text
// that windows-1252 cannot hold (it would read as "?" and be lost on the
// next write).
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "data/engine.h"

namespace portavel {

// One line per problem, naming the table and field; empty when there is
// none. `connection` is the alias's connection, its schema the current one.
std::vector<std::string> PostgresStoreProblems(EngineConnection& connection,
                                               std::string_view alias);

}  // namespace portavel
