// Serializes the card charges of one account across processes (CGI
// processes, FastCGI processes, several web servers on one store): a
// second charge of the account waits until the first is recorded, so
// that it can see it. Other accounts are not held up.
#pragma once

#include <cstdint>
#include <memory>

#include "data/store.h"

namespace portavel {

class ChargeLock {
 public:
  // Takes the account's charge lock of the store, waiting as long as
  // another process holds it. Throws StoreError when it cannot be taken.
  ChargeLock(Store& store, int32_t account_key)
      : lock_(store.Connection("UserData").HoldLock("charges", account_key)) {}

 private:
  std::unique_ptr<HeldLock> lock_;
};

}  // namespace portavel
