// A configuration file that cannot be used. The message names the file
// and, where there is one, the key.
#pragma once

#include <stdexcept>

namespace portavel {

class ConfigError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

}  // namespace portavel
