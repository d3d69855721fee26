// Closes a data set when the scope ends, also when an exception passes, so
// an action leaves its tables closed on every path.
#pragma once

#include <optional>

#include "data/data_set.h"

namespace portavel {

class DataSetCloser {
 public:
  explicit DataSetCloser(DataSet& data_set) : data_set_(data_set) {}
  ~DataSetCloser() {
    try {
      data_set_.Close();
    } catch (...) {
      // A close that fails must not replace the failure that ended the scope.
    }
  }
  DataSetCloser(const DataSetCloser&) = delete;
  DataSetCloser& operator=(const DataSetCloser&) = delete;

 private:
  DataSet& data_set_;
};

// Opens a closed data set for the length of a scope and closes it again at
// the end; one found open stays open and where it stands, for the caller
// that opened it.
class OpenForScope {
 public:
  explicit OpenForScope(DataSet& data_set) {
    if (data_set.Active()) return;
    data_set.Open();
    closer_.emplace(data_set);
  }

 private:
  std::optional<DataSetCloser> closer_;
};

}  // namespace portavel
