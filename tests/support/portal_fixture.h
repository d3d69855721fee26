// A store with a dealer, preferences and a few accounts, a configuration
// file for it, and requests sent to the built CGI program.
#pragma once

#include <map>
#include <string>

#include "support/cgi_runner.h"
#include "support/temp_store.h"

namespace portavel::testing {

inline constexpr const char* kScriptName = "/cgi-bin/Portavel.exe";
inline constexpr const char* kSessionSecret = "test-secret-0123456789-abcdefghijklmnop";

class PortalFixture {
 public:
  // `session_section` replaces the [session] section of the configuration.
  explicit PortalFixture(const std::string& session_section =
                             std::string("[session]\nsecret = \"") + kSessionSecret + "\"\n");
  // On the given engine whatever the run's (E2eStoreEngine), for tests of
  // one engine's own behaviour.
  explicit PortalFixture(StoreEngine engine,
                         const std::string& session_section =
                             std::string("[session]\nsecret = \"") + kSessionSecret + "\"\n");

  TempStore& temp() { return temp_; }
  // The store's sections of the configuration: [database] for the engine
  // of the run (see E2eStoreEngine) and, on PostgreSQL, which has no
  // UserData folder for it, [payments] with the journal in the folder.
  std::string StoreSections() const;
  // The local time the program sees ("YYYY-MM-DD HH:MM:SS"), through
  // libfaketime; 2024-03-31 10:00:00 unless set.
  void SetNow(std::string now) { now_ = std::move(now); }
  const std::string& config_path() const { return config_path_; }
  // Appends sections ("[gateways]\n...") to the configuration file. A
  // [payments] section takes the place of the one StoreSections gave.
  void AppendConfig(const std::string& toml);

  CgiResult Get(const std::string& path, const std::string& cookies = "");
  CgiResult Post(const std::string& path, const std::string& body, const std::string& cookies = "");
  CgiResult Send(std::map<std::string, std::string> environment, const std::string& body);

  // Everything the program wrote to the operator log so far.
  std::string OperatorLog() const;

  // The cookie header of a customer who logged in at the program's present
  // time (SetNow) under the account's stored password.
  std::string LoginCookies(const std::string& account_id);

 private:
  static std::string PaymentsHeader();
  std::string JournalLine() const;

  TempStore temp_;
  std::string config_path_;
  std::string now_ = "2024-03-31 10:00:00";
};

// The 15 lines every page starts with, for the given title, each + CR LF.
std::string ExpectedPageHeader(const std::string& title);
// The body of the login page ("/Login") of an office with this phone.
std::string ExpectedLoginPage(const std::string& office_phone);
// "Status: 200 OK" response of a text/html page with the given cookies.
std::string ExpectedResponse(const std::string& body, const std::string& set_cookie_lines = "");
// The whole response a guarded page gives a visitor who is not logged in:
// the page header with `title` and the way back to the login.
std::string ExpectedNotLoggedInResponse(const std::string& title);

}  // namespace portavel::testing
