// The engine's own integrity check of both aliases' tables. For SQLite the
// sqlite3 shell cannot run it on a store: some indexes use the portal's
// windows-1252 collation, which only a connection of the store registers.
#pragma once

#include <string>
#include <vector>

#include "data/store.h"

namespace portavel {

struct StoreProblem {
  std::string alias;    // "UserData" or "LocalData"
  std::string problem;  // one line of the engine's report
};

// Runs the engine's check on each alias of the store; empty when both are
// sound.
std::vector<StoreProblem> CheckStoreIntegrity(Store& store);

}  // namespace portavel
