// A row that a caller relies on is not there.
#pragma once

#include <stdexcept>

namespace portavel {

class ENotFoundException : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

}  // namespace portavel
