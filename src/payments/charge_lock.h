// Serializes the card charges of one account across processes (CGI
// processes, FastCGI processes, several web servers on one store): a
// second charge of the account waits until the first is recorded, so
// that it can see it. Other accounts are not held up.
#pragma once

#include <cstdint>
#include <string>

namespace portavel {

class ChargeLock {
 public:
  // Takes the account's lock in the file `lock_path` (created when
  // missing), waiting as long as another process holds it. Throws
  // std::runtime_error when the file cannot be opened or locked.
  ChargeLock(const std::string& lock_path, int32_t account_key);
  // Releases the lock.
  ~ChargeLock();
  ChargeLock(const ChargeLock&) = delete;
  ChargeLock& operator=(const ChargeLock&) = delete;

 private:
  int fd_ = -1;
};

// The lock file of a store: beside its UserData database, where every
// process that writes the store can already create files.
std::string ChargeLockPath(const std::string& userdata_path);

}  // namespace portavel
