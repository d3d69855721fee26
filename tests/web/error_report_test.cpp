// What a failed request shows the visitor and tells the operator.
#include "web/error_report.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

#include "app/process_start.h"
#include "config/config_error.h"
#include "data/not_found_error.h"
#include "data/table_access.h"
#include "data/value.h"
#include "pricing/tax_links.h"
#include "support/fake_platform.h"
#include "web/web_response.h"

namespace portavel {
namespace {

struct FailureCase {
  std::shared_ptr<std::exception> error;
  const char* class_name;
  const char* shown;   // the message of the error page
  const char* logged;  // the message of the operator-log line
};

template <typename E, typename... Args>
std::shared_ptr<std::exception> Make(Args&&... args) {
  return std::make_shared<E>(std::forward<Args>(args)...);
}

// Store, file and configuration errors name statements, paths and keys:
// the page only says what kind of failure it was. The program's own
// messages are meant for the caller and stay as they are.
TEST(ReportFailure, ShowsTheVisitorOnlyWhatIsMeantForThemAndLogsEverything) {
  const FailureCase cases[] = {
      {Make<StoreError>("running \"select * from Accounts\": no such table: Accounts"),
       "EDatabaseError", "Database error",
       "running \"select * from Accounts\": no such table: Accounts"},
      {Make<StoreBusyError>("running \"UPDATE Accounts SET Balance = ?\": database is locked"),
       "EDatabaseError", "Database error",
       "running \"UPDATE Accounts SET Balance = ?\": database is locked"},
      {Make<IdentityError>("Cannot open the UserData database /srv/dealer/UserData.sqlite: no"),
       "EDatabaseError", "Database error",
       "Cannot open the UserData database /srv/dealer/UserData.sqlite: no"},
      {Make<ConfigError>("/etc/portavel/portavel.toml: session.secret: missing"), "EConfigError",
       "Configuration error", "/etc/portavel/portavel.toml: session.secret: missing"},
      {Make<std::filesystem::filesystem_error>(
           "cannot open", std::filesystem::path("/srv/dealer/x"),
           std::make_error_code(std::errc::read_only_file_system)),
       "Exception", "File error", nullptr},
      {Make<std::runtime_error>("no product found: 4242"), "Exception", "no product found: 4242",
       "no product found: 4242"},
      {Make<ENotFoundException>("Could not find account with an AccountIndex of 0"),
       "ENotFoundException", "Could not find account with an AccountIndex of 0",
       "Could not find account with an AccountIndex of 0"},
      {Make<std::invalid_argument>("'abc' is not a valid integer value"), "EConvertError",
       "'abc' is not a valid integer value", "'abc' is not a valid integer value"},
      {Make<NoTaxesError>(), "Exception", "no taxes", "no taxes"},
      {Make<EEditFailed>("Unable to post record", "running \"UPDATE Tanks\": disk I/O error"),
       "Exception", "Unable to post record",
       "Unable to post record: running \"UPDATE Tanks\": disk I/O error"},
  };
  for (const FailureCase& c : cases) {
    FakePlatform platform;
    platform.SetNow(*DateTime::FromCivil(2024, 3, 31, 9, 5, 7));
    EXPECT_EQ(ReportFailure(platform, "POST", "/MainAccountPg", *c.error),
              ErrorResponseBytes(c.class_name, c.shown))
        << c.error->what();
    const std::string logged = c.logged ? c.logged : c.error->what();
    EXPECT_EQ(platform.operator_messages(),
              std::vector<std::string>{"2024-03-31 09:05:07 POST /MainAccountPg failed: " +
                                       std::string(c.class_name) + ": " + logged});
  }
}

}  // namespace
}  // namespace portavel
