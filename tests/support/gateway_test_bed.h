// What a gateway client needs in a test: a store with every table (and an
// event log that takes entries), a fake platform, and a configuration whose
// gateway addresses all lead to one fake gateway and trust its CA.
#pragma once

#include <string>
#include <vector>

#include "config/config.h"
#include "data/installation_identity.h"
#include "data/service_context.h"
#include "support/fake_gateway.h"
#include "support/fake_platform.h"
#include "support/temp_store.h"

namespace portavel::testing {

class GatewayTestBed {
 public:
  // Addresses in the configuration, below the gateway's base_url():
  // form_post_urls all three the base itself; jetpay_url "jetpay",
  // jetpay_test_url "jetpay-test"; authorize_net_url "anet/",
  // authorize_net_sandbox_url "anet-sandbox/".
  explicit GatewayTestBed(const FakeGateway::Options& options = {});

  FakeGateway& gateway() { return gateway_; }
  TempStore& temp() { return temp_; }
  Store& store() { return temp_.store(); }
  FakePlatform& platform() { return platform_; }
  Config& config() { return config_; }
  InstallationIdentity& identity() { return identity_; }
  ServiceContext context() { return {config_, temp_.store(), identity_, platform_}; }

  // The event log's texts, oldest first.
  std::vector<std::string> EventLog();

 private:
  FakeGateway gateway_;
  TempStore temp_;
  FakePlatform platform_;
  Config config_;
  InstallationIdentity identity_;
};

}  // namespace portavel::testing
