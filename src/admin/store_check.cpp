#include "admin/store_check.h"

#include <sqlite3.h>

#include "data/sqlite_statement.h"

namespace portavel {

std::vector<StoreProblem> CheckStoreIntegrity(Store& store) {
  std::vector<StoreProblem> problems;
  for (const char* alias : {"UserData", "LocalData"}) {
    // The whole report, not just its first hundred lines: whoever restores
    // a copy wants to know everything that is wrong with it.
    Statement check(store.Connection(alias), "PRAGMA integrity_check(1000000)");
    while (check.Step()) {
      const unsigned char* text = sqlite3_column_text(check.get(), 0);
      std::string line = text ? reinterpret_cast<const char*>(text) : "";
      if (line != "ok") problems.push_back({alias, std::move(line)});
    }
  }
  return problems;
}

}  // namespace portavel
