// The server's configuration file (TOML): where the store and the card
// gateways are and which dealer installations get their own behaviour.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "config/address_range.h"
#include "config/config_error.h"
#include "config/store_paths.h"
#include "money/money.h"
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

inline constexpr size_t kMinSessionSecretLength = 32;
// A secret of few distinct characters ("aaaa...", 32 blanks) is guessable
// however long it is.
inline constexpr size_t kMinSessionSecretDistinctCharacters = 16;
inline constexpr int kDefaultSessionMaxAgeMinutes = 480;
inline constexpr int kMaxSessionMaxAgeMinutes = 525'600;  // a year

// How the login is tied to the browser: the account cookie is signed with
// a server secret so that nobody can set it to another customer's account,
// and the signature lasts only max_age_minutes after the login.
struct SessionConfig {
  std::optional<std::string> secret;  // see SessionSecretProblem
  bool signed_cookies = true;
  int max_age_minutes = kDefaultSessionMaxAgeMinutes;
};

// Why `secret` cannot sign sessions, or "" when it can: it needs at least
// kMinSessionSecretLength characters, kMinSessionSecretDistinctCharacters
// of them different.
std::string SessionSecretProblem(std::string_view secret);

// The password e-mail's settings that are not kept in the database.
struct MailConfig {
  // Where the eCheck installation's password e-mails also go, as a copy
  // to its "Manager"; no copy when absent.
  std::optional<std::string> echeck_manager_address;
};

inline constexpr size_t kFormPostEndpointCount = 3;
inline constexpr int kDefaultGatewayTimeoutSeconds = 60;
inline constexpr int kMaxGatewayTimeoutSeconds = 600;
inline constexpr const char* kAuthorizeNetProductionBase = "https://api.authorize.net/";
inline constexpr const char* kAuthorizeNetSandboxBase = "https://apitest.authorize.net/";

// Where the card gateways are and how their certificates are checked. An
// empty address means "not configured": nothing is sent there.
struct GatewayConfig {
  // Base addresses (https, ending in "/") of merchant ids 0, 1 and 2.
  std::vector<std::string> form_post_urls;
  std::string jetpay_url;       // complete URL
  std::string jetpay_test_url;  // complete URL, used while CCUseDevAddress is on
  std::string authorize_net_url = kAuthorizeNetProductionBase;
  std::string authorize_net_sandbox_url = kAuthorizeNetSandboxBase;
  // Extra trusted CA certificates (PEM), trusted beside the system's.
  std::optional<std::string> ca_file;
  // Off only for test gateways: the server's certificate is then not checked.
  bool verify_peer = true;
  int timeout_seconds = kDefaultGatewayTimeoutSeconds;
};

inline constexpr int kDefaultDuplicateWindowSeconds = 120;
inline constexpr int kMaxDuplicateWindowSeconds = 86400;
inline constexpr const char* kDefaultJournalName = "payments-journal.log";
inline constexpr int kMaxBusyTimeoutSeconds = 600;

// The payment pages' outside links and the guards of a card charge.
struct PaymentsConfig {
  std::string echeck_url;     // the eCheck checkout page; empty when not configured
  std::string site_seal_url;  // the site-seal script, sealID included
  // Where approvals the store would not take are kept for replay; by
  // default kDefaultJournalName beside the UserData database. A PostgreSQL
  // store has no such file, so there the configuration must name it.
  std::string journal;
  // A repeated charge of the same account and amount within this many
  // seconds of an approved or unanswered one is not sent; 0: no check.
  int duplicate_window_seconds = kDefaultDuplicateWindowSeconds;
  // The largest amount one charge may take: what the amount field's eight
  // characters allow.
  Money max_amount = Money::FromUnits(999'999'900);
};

// The truck-side endpoints write into the dealer's books, so only these
// clients may call them.
struct DeliveryConfig {
  std::vector<AddressRange> allowed_clients = DefaultDeliveryClients();
  // The loopback addresses: a truck system on the web server itself.
  static std::vector<AddressRange> DefaultDeliveryClients();
};

inline constexpr int kDefaultLoginMaxFailures = 10;
inline constexpr int kDefaultLoginMaxFailuresPerAddress = 50;
inline constexpr int kDefaultLoginWindowMinutes = 15;
inline constexpr int kMaxLoginFailures = 100'000;
inline constexpr int kMaxLoginWindowMinutes = 1440;  // a day

// The program's own limit on password guessing, beside the web server's:
// after this many failed logins for one account ID, or from one client
// address, within window_minutes, further attempts are refused. 0 turns
// that limit off.
struct LoginConfig {
  int max_failures = kDefaultLoginMaxFailures;
  int max_failures_per_address = kDefaultLoginMaxFailuresPerAddress;
  int window_minutes = kDefaultLoginWindowMinutes;
};

struct Config {
  std::string path;  // the file it was read from
  StorePaths database;
  InstallationConfig installation;
  SessionConfig session;
  MailConfig mail;
  GatewayConfig gateways;
  PaymentsConfig payments;
  DeliveryConfig delivery;
  LoginConfig login;
};

// Reads the file at `path`; throws ConfigError.
Config ReadConfigFile(const std::string& path);
// Reads the file LocateConfigFile picks; throws ConfigError.
Config LoadConfig(Platform& platform, const std::optional<std::string>& explicit_path = {});

}  // namespace portavel
