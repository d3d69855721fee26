// What the subsystems work with on behalf of one request or one command:
// the configuration, the store session, the installation's identity and
// the operating system. The web module, the password mail and the card
// gateways all take it.
#pragma once

namespace portavel {

struct Config;
class InstallationIdentity;
class Platform;
class Store;

struct ServiceContext {
  const Config& config;
  Store& store;
  const InstallationIdentity& identity;
  Platform& platform;
};

}  // namespace portavel
