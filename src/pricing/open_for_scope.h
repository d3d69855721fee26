// Opens a closed data set for the length of a scope and closes it again
// at the end, also when an exception passes; one found open stays open
// and where it stands.
#pragma once

#include "data/data_set.h"

namespace portavel {

class OpenForScope {
 public:
  explicit OpenForScope(DataSet& data_set) : data_set_(data_set), opened_(!data_set.Active()) {
    if (opened_) data_set_.Open();
  }
  ~OpenForScope() {
    if (!opened_) return;
    try {
      data_set_.Close();
    } catch (...) {
      // A close that fails must not replace the failure that ended the scope.
    }
  }
  OpenForScope(const OpenForScope&) = delete;
  OpenForScope& operator=(const OpenForScope&) = delete;

 private:
  DataSet& data_set_;
  bool opened_;
};

}  // namespace portavel
