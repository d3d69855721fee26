// Sets up a dealer's store: both database files, every table with its
// indexes, and the key rows the programs draw from. Adds only what is
// missing; never drops or changes data.
#pragma once

#include <string>
#include <vector>

#include "data/store.h"

namespace portavel {

// Returns one line for each thing it created ("Created table Accounts").
// Throws UsageError when a database file's folder does not exist.
std::vector<std::string> SetUpStore(const StorePaths& paths);

}  // namespace portavel
