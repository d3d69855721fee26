// Where the store's two database files are and how long a write waits for
// another writer: the [database] section of the configuration, handed to
// the store that opens them.
#pragma once

#include <string>

namespace portavel {

// How long a write waits for another connection's write lock before it
// fails. Concurrent request processes, the desktop program and the admin
// tool wait for each other's writes rather than fail.
inline constexpr int kStoreBusyTimeoutMs = 30000;

struct StorePaths {
  std::string userdata;   // the UserData alias
  std::string localdata;  // the LocalData alias
  int busy_timeout_ms = kStoreBusyTimeoutMs;
};

}  // namespace portavel
