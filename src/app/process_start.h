// What every request process does before it serves the request: read the
// configuration, open the store and read the installation identity.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

#include "config/config.h"
#include "data/installation_identity.h"
#include "data/store.h"
#include "platform/platform.h"

namespace portavel {

// The installation identity could not be read or written: a failure of
// the store, shown and logged as one.
class IdentityError : public StoreError {
 public:
  using StoreError::StoreError;
};

struct ProcessContext {
  Config config;
  std::unique_ptr<Store> store;
  InstallationIdentity identity;
  // Read at start for the installations that keep one (PMNT_URL).
  std::optional<std::string> payment_url;
};

// Throws ConfigError, StoreError or IdentityError.
ProcessContext StartProcess(
    Platform& platform,
    const std::function<std::optional<std::string>(std::string_view)>& environment);

}  // namespace portavel
