#include "support/portal_fixture.h"

#include <fstream>

#include "account/account_password.h"
#include "config/config.h"
#include "support/file_bytes.h"
#include "web/session_signature.h"

namespace portavel::testing {
namespace {

constexpr const char* kFakeTimeLibrary = "/usr/lib/x86_64-linux-gnu/faketime/libfaketime.so.1";

}  // namespace

PortalFixture::PortalFixture(const std::string& session_section)
    : PortalFixture(E2eStoreEngine(), session_section) {}

PortalFixture::PortalFixture(StoreEngine engine, const std::string& session_section)
    : temp_(engine) {
  config_path_ = (temp_.folder() / "portavel.toml").string();
  std::ofstream config(config_path_);
  config << StoreSections() << "\n" << session_section;
  config.close();

  temp_.Insert("Company",
               {{"CompanyName", Value::Text("Harbor & Sons")}, {"Phone", Value::Text("555-0100")}});
  temp_.Insert("RemotePrefs",
               {{"RemotePrefsKey", Value::Integer(1)}, {"MerchantID", Value::Integer(3)}});
  temp_.Insert("Accounts", {{"AccountIndex", Value::Integer(1)},
                            {"AccountID", Value::Text("SMITH01")},
                            {"WALPW", Value::Bytes("Secret 1")}});
  temp_.Insert("Accounts",
               {{"AccountIndex", Value::Integer(2)}, {"AccountID", Value::Text("NOPASS")}});
}

std::string PortalFixture::StoreSections() const {
  if (!temp_.on_postgresql()) {
    return "[database]\nuserdata = \"UserData.sqlite\"\nlocaldata = \"LocalData.sqlite\"\n";
  }
  return "[database]\nengine = \"postgresql\"\npostgresql = \"" + temp_.paths().postgresql +
         "\"\n\n" + PaymentsHeader() + JournalLine();
}

std::string PortalFixture::PaymentsHeader() {
  return "[payments]\n";
}

std::string PortalFixture::JournalLine() const {
  return "journal = \"" + (temp_.folder() / "payments-journal.log").string() + "\"\n";
}

void PortalFixture::AppendConfig(const std::string& toml) {
  std::string appended = toml;
  const size_t payments = appended.find(PaymentsHeader());
  if (temp_.on_postgresql() && payments != std::string::npos &&
      (payments == 0 || appended[payments - 1] == '\n')) {
    // TOML allows a table once: the test's [payments] section replaces the
    // one the store needed, keeping its journal unless the test names one.
    std::string config = ReadFileBytes(config_path_);
    const std::string own = PaymentsHeader() + JournalLine();
    if (const size_t at = config.find(own); at != std::string::npos) config.erase(at, own.size());
    const size_t body = payments + PaymentsHeader().size();
    const size_t next_table = appended.find("\n[", body);
    const std::string section = appended.substr(body, next_table - body);
    if (section.find("journal =") == std::string::npos) appended.insert(body, JournalLine());
    std::ofstream(config_path_, std::ios::trunc) << config << "\n" << appended;
    return;
  }
  std::ofstream config(config_path_, std::ios::app);
  config << "\n" << appended;
}

std::string PortalFixture::OperatorLog() const {
  return ReadFileBytes(temp_.folder() / "operator.log");
}

CgiResult PortalFixture::Send(std::map<std::string, std::string> environment,
                              const std::string& body) {
  environment.emplace("PORTAVEL_CONFIG", config_path_);
  environment.emplace("SCRIPT_NAME", kScriptName);
  environment.emplace("PATH", "/usr/bin:/bin");
  // The program's clock, so that no answer depends on the day the tests run.
  environment.emplace("LD_PRELOAD", kFakeTimeLibrary);
  environment.emplace("FAKETIME", "@" + now_);
  environment.emplace("FAKETIME_DONT_FAKE_MONOTONIC", "1");
  // Only the clock: file times stay real, as the program sees them when
  // it compares its configuration with what it read.
  environment.emplace("NO_FAKE_STAT", "1");
  environment.emplace("TZ", "UTC");
  environment.emplace("PORTAVEL_OPERATOR_LOG", (temp_.folder() / "operator.log").string());
  return RunCgi(environment, body, temp_.folder().string());
}

CgiResult PortalFixture::Get(const std::string& path, const std::string& cookies) {
  std::map<std::string, std::string> environment = {{"REQUEST_METHOD", "GET"}, {"PATH_INFO", path}};
  if (!cookies.empty()) environment["HTTP_COOKIE"] = cookies;
  return Send(environment, "");
}

CgiResult PortalFixture::Post(const std::string& path, const std::string& body,
                              const std::string& cookies) {
  std::map<std::string, std::string> environment = {
      {"REQUEST_METHOD", "POST"},
      {"PATH_INFO", path},
      {"CONTENT_TYPE", "application/x-www-form-urlencoded"},
      {"CONTENT_LENGTH", std::to_string(body.size())}};
  if (!cookies.empty()) environment["HTTP_COOKIE"] = cookies;
  return Send(environment, body);
}

std::string PortalFixture::LoginCookies(const std::string& account_id) {
  SessionConfig session;
  session.secret = kSessionSecret;
  const std::string signature = SessionSignature(session, "")
                                    .Sign(account_id, *DateTime::ParseIsoDateTime(now_),
                                          SessionPasswordOf(temp_.store(), account_id));
  return "AccountID=" + account_id + "; AccountSig=" + signature;
}

std::string ExpectedPageHeader(const std::string& title) {
  return "<!DOCTYPE html PUBLIC \"-//W3C//DTD XHTML 1.0 Transitional//EN\"\r\n"
         "\"http://www.w3.org/TR/xhtml1/DTD/xhtml1-transitional.dtd\">\r\n"
         "<html xmlns=\"http://www.w3.org/1999/xhtml\">\r\n"
         "<head>\r\n"
         "<meta http-equiv=\"Content-Type\" content=\"text/html;charset=windows-1252\" />\r\n"
         "<style type=\"text/css\"> body { text-align:left; color: black; background-color: white; "
         "} .centeredImage { text-align:center; }\r\n"
         "</style>\r\n"
         "<title>" +
         title +
         "</title>\r\n"
         "</head>\r\n"
         "<body>\r\n"
         " <p class=\"centeredImage\">\r\n"
         "<div style=\"max-width: 400px; max-height: 300px; display:block; margin:0 auto\" "
         "align=\"center\">\r\n"
         "  <img src=\"/Logo.png\" alt=\"Logo.png\" style=\"max-width:100%;max-height:100%;\" "
         "/>\r\n"
         "</div>\r\n"
         " </p>\r\n";
}

std::string ExpectedLoginPage(const std::string& office_phone) {
  return ExpectedPageHeader("Account Login") +
         " <form action=\"/cgi-bin/Portavel.exe/Main\" method=\"post\">\r\n"
         "  <fieldset>\r\n"
         "   <legend>Login Info:</legend>\r\n"
         "   Account ID: <input type=\"text\" name=\"AccountID\" maxlength=\"30\" />\r\n"
         "   <br>\r\n"
         "   Password&nbsp;&nbsp;&nbsp;: <input type=\"password\" name=\"Password\" "
         "maxlength=\"20\" />\r\n"
         "   <br>\r\n"
         "   <input type=\"submit\" value=\"Log in\" />\r\n"
         "  </fieldset>\r\n"
         " </form>\r\n"
         " <br>\r\n"
         " <form action=\"/cgi-bin/Portavel.exe/PWForget\" method=\"post\">\r\n"
         "  <input type=\"submit\" value=\"Forgot Password?\" />\r\n"
         " </form>\r\n"
         " <br>\r\n"
         "   Note: To setup your online account please have your Account ID ready and contact the "
         "office at " +
         office_phone +
         ".\r\n"
         "</body>\r\n"
         "</html>\r\n";
}

std::string ExpectedResponse(const std::string& body, const std::string& set_cookie_lines) {
  return "Status: 200 OK\r\n" + set_cookie_lines +
         "Content-Type: text/html\r\nContent-Length: " + std::to_string(body.size()) +
         "\r\nContent:\r\n\r\n" + body;
}

std::string ExpectedNotLoggedInResponse(const std::string& title) {
  return ExpectedResponse(ExpectedPageHeader(title) +
                          "Not Logged In <BR>\r\n"
                          " <form action=\"/cgi-bin/Portavel.exe/Login\" method=\"post\">\r\n"
                          "  <input type=\"submit\" value=\"Go To Login\"/>\r\n"
                          " </form>\r\n</html>\r\n</body>\r\n");
}

}  // namespace portavel::testing
