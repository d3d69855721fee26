// Puts the built-in demo data set into a store that has no accounts yet.
#pragma once

#include <ostream>
#include <vector>

#include "admin/table_loader.h"
#include "dates/date_time.h"

namespace portavel {

class Store;

// Refuses with DataError when the store already holds accounts, so that
// demo rows never mix with a dealer's own.
std::vector<TableLoadCount> LoadDemoData(Store& store, DateTime today, std::ostream& progress);

}  // namespace portavel
