#include "config/config.h"

#include "config/config_lookup.h"
#include "config/config_reader.h"
#include "mail/password_mail.h"

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

}  // namespace

Config ReadConfigFile(const std::string& path) {
  ConfigDocument document(path);
  Config config;
  config.path = path;
  config.database = document.Read("database", ReadDatabase);
  config.installation = document.Read("installation", ReadInstallation);
  config.session = document.Read("session", ReadSession);
  config.mail = document.Read("mail", ReadMail);
  document.RejectUnknownSections();
  return config;
}

Config LoadConfig(Platform& platform, const std::optional<std::string>& explicit_path) {
  return ReadConfigFile(LocateConfigFile(platform, explicit_path));
}

}  // namespace portavel
