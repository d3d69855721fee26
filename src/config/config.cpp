#include "config/config.h"

#include <filesystem>
#include <set>

#include "config/config_lookup.h"
#include "config/config_reader.h"
#include "config/connection_string.h"
#include "text/cp1252.h"
#include "text/email_address.h"

namespace portavel {
namespace {

// Any other value is refused, not taken for the default: a misspelt
// "postgresql" would otherwise open SQLite files nobody meant.
StoreEngine ReadEngine(ConfigSection& section) {
  const std::optional<std::string> name = section.Text("engine");
  if (!name || *name == "sqlite") return StoreEngine::kSqlite;
  if (*name == "postgresql") return StoreEngine::kPostgresql;
  section.Fail("engine", "must be \"sqlite\" or \"postgresql\"");
}

// A key of the other engine is refused rather than ignored: whoever wrote
// it expects it to matter, and a store silently opened elsewhere than the
// file says is worse than a program that does not start. An empty value
// says nothing and passes, as everywhere in the file.
StorePaths ReadDatabase(ConfigSection& section) {
  StorePaths paths;
  paths.engine = ReadEngine(section);
  if (paths.engine == StoreEngine::kSqlite) {
    if (!section.Utf8Text("postgresql").value_or("").empty()) {
      section.Fail("postgresql",
                   "not used with engine \"sqlite\" (the default); remove it, or set engine = "
                   "\"postgresql\"");
    }
    paths.userdata = section.RequiredPath("userdata");
    paths.localdata = section.RequiredPath("localdata");
  } else {
    for (const char* key : {"userdata", "localdata"}) {
      if (section.Path(key)) {
        section.Fail(key, "a SQLite file, not used with engine \"postgresql\"; remove it");
      }
    }
    paths.postgresql = section.Utf8Text("postgresql").value_or("");
    if (paths.postgresql.empty()) {
      section.Fail("postgresql",
                   "required with engine \"postgresql\" (a libpq connection string), but missing "
                   "or empty");
    }
    const std::string problem = ConnectionStringProblem(paths.postgresql);
    if (!problem.empty()) section.Fail("postgresql", problem);
  }
  paths.busy_timeout_ms =
      static_cast<int>(section.Integer("busy_timeout_seconds", 1, kMaxBusyTimeoutSeconds)
                           .value_or(kStoreBusyTimeoutMs / 1000) *
                       1000);
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
  if (session.secret) {
    const std::string problem = SessionSecretProblem(*session.secret);
    if (!problem.empty()) section.Fail("secret", problem);
  }
  session.signed_cookies = section.Bool("signed").value_or(true);
  session.max_age_minutes =
      static_cast<int>(section.Integer("max_age_minutes", 1, kMaxSessionMaxAgeMinutes)
                           .value_or(kDefaultSessionMaxAgeMinutes));
  return session;
}

MailConfig ReadMail(ConfigSection& section) {
  MailConfig mail;
  mail.echeck_manager_address = section.Text("echeck_manager_address");
  if (mail.echeck_manager_address && mail.echeck_manager_address->empty()) {
    mail.echeck_manager_address.reset();
  }
  // The address goes into the mail's header and the SMTP commands as it
  // stands, so it is checked here rather than failing at every send.
  if (mail.echeck_manager_address &&
      (!IsValidEmailAddress(*mail.echeck_manager_address) ||
       mail.echeck_manager_address->find(' ') != std::string::npos)) {
    section.Fail("echeck_manager_address", "not an e-mail address");
  }
  return mail;
}

enum class UrlForm { kBase, kComplete };

// Why `url` cannot be a gateway or page address, or "" when it can. The
// empty address means "not configured" and passes.
std::string UrlProblem(std::string_view url, UrlForm form) {
  if (url.empty()) return "";
  constexpr std::string_view kScheme = "https://";
  if (url.size() < kScheme.size() || !EqualsNoCase1252(url.substr(0, kScheme.size()), kScheme)) {
    return "must be an https:// address";
  }
  for (char c : url) {
    if (static_cast<unsigned char>(c) <= ' ' || c == '\x7f') {
      return "must not hold blanks or control characters";
    }
  }
  std::string_view rest = url.substr(kScheme.size());
  size_t host_end = rest.find_first_of("/:?#");
  if (host_end == 0 || rest.empty()) return "has no host name";
  if (form == UrlForm::kBase) {
    if (url.find_first_of("?#") != std::string_view::npos) {
      return "must not have a query or fragment (it is a base address)";
    }
    if (url.back() != '/') return "must end in \"/\" (it is a base address)";
  }
  return "";
}

std::string Url(ConfigSection& section, std::string_view key, UrlForm form,
                std::string absent = "") {
  std::string url = section.Text(key).value_or(std::move(absent));
  std::string problem = UrlProblem(url, form);
  if (!problem.empty()) section.Fail(key, problem);
  return url;
}

GatewayConfig ReadGateways(ConfigSection& section) {
  GatewayConfig gateways;
  gateways.form_post_urls = section.TextList("form_post_urls", kFormPostEndpointCount);
  for (size_t i = 0; i < gateways.form_post_urls.size(); ++i) {
    std::string problem = UrlProblem(gateways.form_post_urls[i], UrlForm::kBase);
    if (!problem.empty()) section.Fail("form_post_urls[" + std::to_string(i) + "]", problem);
  }
  gateways.jetpay_url = Url(section, "jetpay_url", UrlForm::kComplete);
  gateways.jetpay_test_url = Url(section, "jetpay_test_url", UrlForm::kComplete);
  gateways.authorize_net_url =
      Url(section, "authorize_net_url", UrlForm::kBase, kAuthorizeNetProductionBase);
  gateways.authorize_net_sandbox_url =
      Url(section, "authorize_net_sandbox_url", UrlForm::kBase, kAuthorizeNetSandboxBase);
  gateways.ca_file = section.Path("ca_file");
  gateways.verify_peer = section.Bool("verify_peer").value_or(true);
  gateways.timeout_seconds =
      static_cast<int>(section.Integer("timeout_seconds", 1, kMaxGatewayTimeoutSeconds)
                           .value_or(kDefaultGatewayTimeoutSeconds));
  return gateways;
}

// Money in a configuration file is quoted text or a whole number: a TOML
// float cannot hold 0.10 exactly.
std::optional<Money> Amount(ConfigSection& section, std::string_view key) {
  constexpr const char* kAmountForm =
      "must be an amount in whole cents above 0 and at most 99999999.99, quoted (\"99999.99\")";
  if (!section.Contains(key)) return std::nullopt;
  std::optional<Money> amount;
  try {
    amount = Money::Parse(section.Text(key).value_or(""));
  } catch (const ConfigError&) {
    try {
      amount = Money::FromWhole(*section.Integer(key, 1, 99'999'999));
    } catch (const ConfigError&) {
      amount.reset();
    }
  }
  if (!amount || !amount->IsWholeCents() || *amount <= Money() ||
      *amount > Money::FromUnits(999'999'999'900)) {
    section.Fail(key, kAmountForm);
  }
  return amount;
}

PaymentsConfig ReadPayments(ConfigSection& section, const StorePaths& database) {
  PaymentsConfig payments;
  payments.echeck_url = Url(section, "echeck_url", UrlForm::kComplete);
  payments.site_seal_url = Url(section, "site_seal_url", UrlForm::kComplete);
  // The journal's default place is the UserData file's folder; a
  // PostgreSQL store has no such folder, and a journal in the working
  // directory of whichever process charged a card would be found by
  // nobody, so the path must then be given.
  if (std::optional<std::string> journal = section.Path("journal")) {
    payments.journal = std::move(*journal);
  } else if (database.engine == StoreEngine::kPostgresql) {
    section.Fail("journal",
                 "required with database.engine \"postgresql\", which has no UserData folder to "
                 "keep it in");
  } else {
    payments.journal =
        (std::filesystem::path(database.userdata).parent_path() / kDefaultJournalName).string();
  }
  payments.duplicate_window_seconds =
      static_cast<int>(section.Integer("duplicate_window_seconds", 0, kMaxDuplicateWindowSeconds)
                           .value_or(kDefaultDuplicateWindowSeconds));
  if (std::optional<Money> max_amount = Amount(section, "max_amount")) {
    payments.max_amount = *max_amount;
  }
  return payments;
}

DeliveryConfig ReadDelivery(ConfigSection& section) {
  DeliveryConfig delivery;
  if (!section.Contains("allowed_clients")) return delivery;
  std::vector<std::string> entries = section.TextList("allowed_clients");
  delivery.allowed_clients.clear();
  for (size_t i = 0; i < entries.size(); ++i) {
    std::optional<AddressRange> range = AddressRange::Parse(entries[i]);
    if (!range) {
      section.Fail("allowed_clients[" + std::to_string(i) + "]",
                   "not an IP address or CIDR range (\"192.0.2.7\", \"10.0.0.0/8\", \"::1\")");
    }
    delivery.allowed_clients.push_back(std::move(*range));
  }
  return delivery;
}

LoginConfig ReadLogin(ConfigSection& section) {
  LoginConfig login;
  login.max_failures = static_cast<int>(
      section.Integer("max_failures", 0, kMaxLoginFailures).value_or(kDefaultLoginMaxFailures));
  login.max_failures_per_address =
      static_cast<int>(section.Integer("max_failures_per_address", 0, kMaxLoginFailures)
                           .value_or(kDefaultLoginMaxFailuresPerAddress));
  login.window_minutes =
      static_cast<int>(section.Integer("window_minutes", 1, kMaxLoginWindowMinutes)
                           .value_or(kDefaultLoginWindowMinutes));
  return login;
}

}  // namespace

std::string SessionSecretProblem(std::string_view secret) {
  if (secret.size() < kMinSessionSecretLength) {
    return "must be at least " + std::to_string(kMinSessionSecretLength) + " characters long";
  }
  const std::set<char> distinct(secret.begin(), secret.end());
  if (distinct.size() < kMinSessionSecretDistinctCharacters) {
    return "must hold at least " + std::to_string(kMinSessionSecretDistinctCharacters) +
           " different characters (portavel-db new-secret makes one)";
  }
  return std::string();
}

std::vector<AddressRange> DeliveryConfig::DefaultDeliveryClients() {
  return {*AddressRange::Parse("127.0.0.1"), *AddressRange::Parse("::1")};
}

Config ReadConfigFile(const std::string& path) {
  ConfigDocument document(path);
  Config config;
  config.path = path;
  config.database = document.Read("database", ReadDatabase);
  config.installation = document.Read("installation", ReadInstallation);
  config.session = document.Read("session", ReadSession);
  config.mail = document.Read("mail", ReadMail);
  config.gateways = document.Read("gateways", ReadGateways);
  config.payments = document.Read(
      "payments", [&](ConfigSection& section) { return ReadPayments(section, config.database); });
  config.delivery = document.Read("delivery", ReadDelivery);
  config.login = document.Read("login", ReadLogin);
  document.RejectUnknownSections();
  return config;
}

Config LoadConfig(Platform& platform, const std::optional<std::string>& explicit_path) {
  return ReadConfigFile(LocateConfigFile(platform, explicit_path));
}

}  // namespace portavel
