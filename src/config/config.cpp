#include "config/config.h"

#include "config/config_lookup.h"
#include "config/config_reader.h"

namespace portavel {
namespace {

StorePaths ReadDatabase(ConfigSection& section) {
  StorePaths paths;
  paths.userdata = section.RequiredPath("userdata");
  paths.localdata = section.RequiredPath("localdata");
  return paths;
}

InstallationConfig ReadInstallation(ConfigSection& section) {
  InstallationConfig installation;
  installation.known_installations = section.GuidList("known");
  installation.reduced_portal_installation_id = section.Guid("reduced_portal");
  installation.echeck_installation_id = section.Guid("echeck");
  installation.invoice_detail_installation_id = section.Guid("invoice_detail");
  installation.trace_installation_id = section.Guid("trace");
  installation.payment_url_installation_ids =
      section.GuidList("payment_url", kMaxPaymentUrlInstallations);
  return installation;
}

SessionConfig ReadSession(ConfigSection& section) {
  SessionConfig session;
  session.secret = section.Text("secret");
  if (session.secret && session.secret->empty()) session.secret.reset();
  if (session.secret && session.secret->size() < kMinSessionSecretLength) {
    section.Fail("secret", "must be at least " + std::to_string(kMinSessionSecretLength) +
                               " characters long");
  }
  session.signed_cookies = section.Bool("signed").value_or(true);
  return session;
}

}  // namespace

Config ReadConfigFile(const std::string& path) {
  ConfigDocument document(path);
  Config config;
  config.path = path;
  config.database = document.Read("database", ReadDatabase);
  config.installation = document.Read("installation", ReadInstallation);
  config.session = document.Read("session", ReadSession);
  document.RejectUnknownSections();
  return config;
}

Config LoadConfig(Platform& platform, const std::optional<std::string>& explicit_path) {
  return ReadConfigFile(LocateConfigFile(platform, explicit_path));
}

}  // namespace portavel
