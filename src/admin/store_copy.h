// Moves a whole store into an empty one, whichever engine holds either:
// SQLite files to PostgreSQL when a dealer outgrows one machine, and back.
#pragma once

#include <ostream>
#include <vector>

#include "admin/table_loader.h"
#include "config/store_paths.h"

namespace portavel {

class Store;

// Copies every catalog table of both aliases, row for row in table order,
// through the dump's reader and the load's writer, so a copy holds what a
// dump of each table loaded into the target would. The target is set up as
// init does and must hold no data (init's own Keys rows, from which no key
// was drawn, are not data; they are replaced by the source's). Each alias
// of the target is written in one transaction: a failure leaves it without
// a copied row. Each alias of the source is read inside a transaction of
// its own, so the copy is of one moment and no writer of the source comes
// in between. Throws UsageError when source and target are the same store,
// DataError when the target holds data or a source row does not fit the
// catalog. One line per table goes to `progress`. Returns the rows copied
// per table, in catalog order.
std::vector<TableLoadCount> CopyStore(Store& source, const StorePaths& source_paths,
                                      const StorePaths& target_paths, std::ostream& progress);

}  // namespace portavel
