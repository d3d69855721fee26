// Closes a data set when the scope ends, also when an exception passes, so
// an action leaves its tables closed on every path.
#pragma once

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

}  // namespace portavel
