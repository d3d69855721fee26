// What every request process does before it serves the request: read the
// configuration, open the store and read the installation identity.
#pragma once

#include <memory>
#include <string>

#include "config/config.h"
#include "data/installation_identity.h"
#include "data/store.h"
#include "platform/platform.h"

namespace portavel {

struct ProcessContext {
  Config config;
  std::unique_ptr<Store> store;
  InstallationIdentity identity;
  std::string version_text;
};

// Throws on a configuration, store or identity failure; the caller ends
// the process with the message.
ProcessContext StartProcess(Platform& platform);

}  // namespace portavel
