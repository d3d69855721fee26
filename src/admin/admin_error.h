// The failures the admin tool reports as one line on standard error; the
// kind of failure decides the exit code.
#pragma once

#include <stdexcept>

namespace portavel {

inline constexpr int kExitDone = 0;
inline constexpr int kExitBadData = 1;
inline constexpr int kExitUsage = 2;

// A command line or configuration the tool cannot work with (exit 2).
class UsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Input or stored data the tool refuses (exit 1).
class DataError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

}  // namespace portavel
