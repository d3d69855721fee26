// The server's configuration file (TOML): where the two databases are and
// which dealer installations get their own behaviour.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "config/config_error.h"
#include "data/store.h"
#include "platform/guid.h"
#include "platform/platform.h"

namespace portavel {

// Installation GUIDs compared with the database's identity. An absent
// entry matches no database.
struct InstallationConfig {
  std::vector<Guid> known_installations;
  std::optional<Guid> reduced_portal_installation_id;
  std::optional<Guid> echeck_installation_id;
  std::optional<Guid> invoice_detail_installation_id;
  std::optional<Guid> trace_installation_id;
  std::vector<Guid> payment_url_installation_ids;  // at most kMaxPaymentUrlInstallations
};

inline constexpr size_t kMaxPaymentUrlInstallations = 5;

// How the login is tied to the browser: the account cookie is signed with
// a server secret so that nobody can set it to another customer's account.
struct SessionConfig {
  std::optional<std::string> secret;  // at least kMinSessionSecretLength characters
  bool signed_cookies = true;
};

inline constexpr size_t kMinSessionSecretLength = 32;

// The password e-mail's settings that are not kept in the database.
struct MailConfig {
  // Where the eCheck installation's password e-mails also go, as a copy
  // to its "Manager"; no copy when absent.
  std::optional<std::string> echeck_manager_address;
};

struct Config {
  std::string path;  // the file it was read from
  StorePaths database;
  InstallationConfig installation;
  SessionConfig session;
  MailConfig mail;
};

// Reads the file at `path`; throws ConfigError.
Config ReadConfigFile(const std::string& path);
// Reads the file LocateConfigFile picks; throws ConfigError.
Config LoadConfig(Platform& platform, const std::optional<std::string>& explicit_path = {});

}  // namespace portavel
