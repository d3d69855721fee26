// What a gateway client needs from the process around it.
#pragma once

namespace portavel {

struct Config;
class InstallationIdentity;
class Platform;
class Store;

struct GatewayContext {
  Store& store;
  Platform& platform;
  const Config& config;
  const InstallationIdentity& identity;
};

}  // namespace portavel
