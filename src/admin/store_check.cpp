#include "admin/store_check.h"

namespace portavel {

std::vector<StoreProblem> CheckStoreIntegrity(Store& store) {
  std::vector<StoreProblem> problems;
  for (const char* alias : {"UserData", "LocalData"}) {
    for (std::string& line : store.Connection(alias).IntegrityProblems()) {
      problems.push_back({alias, std::move(line)});
    }
  }
  return problems;
}

}  // namespace portavel
