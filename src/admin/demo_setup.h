// Puts the built-in demo data set into a store that has no accounts yet.
#pragma once

#include <ostream>
#include <vector>

#include "admin/table_loader.h"

namespace portavel {

class Platform;
class Store;

// Loads the demo data dated from the platform's today, posts its history
// through the posting and pricing code, and ages every demo
// account as of today, as the account page would. Refuses with DataError
// when the store already holds accounts, so that demo rows never mix with
// a dealer's own.
std::vector<TableLoadCount> LoadDemoData(Store& store, Platform& platform, std::ostream& progress);

}  // namespace portavel
