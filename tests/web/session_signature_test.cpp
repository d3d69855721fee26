#include "web/session_signature.h"

#include <gtest/gtest.h>

#include <map>
#include <regex>

namespace portavel {
namespace {

constexpr const char* kSecret = "unit-test-secret-0123456789-ABCDEFGHIJ";

DateTime At(int hour, int minute, int second = 0) {
  return *DateTime::FromCivil(2024, 3, 31, hour, minute, second);
}

class SessionSignatureTest : public ::testing::Test {
 protected:
  SessionSignatureTest() { config_.secret = kSecret; }

  // What the pages see for these cookies at `now`, with the accounts'
  // stored passwords as in `passwords_`.
  std::string AccountIdAt(const std::string& account_id, const std::string& signature,
                          DateTime now) {
    FieldList cookies({{kAccountCookie, account_id}, {kSignatureCookie, signature}});
    return SessionSignature(config_, "portavel.toml")
        .AccountIdOf(cookies, now, [this](const std::string& id) -> std::optional<std::string> {
          ++lookups_;
          auto found = passwords_.find(id);
          if (found == passwords_.end()) return std::nullopt;
          return found->second;
        });
  }

  std::string SignAt(const std::string& account_id, DateTime login,
                     const std::optional<std::string>& password = "Secret 1") {
    return SessionSignature(config_, "portavel.toml").Sign(account_id, login, password);
  }

  SessionConfig config_;
  std::map<std::string, std::optional<std::string>> passwords_ = {{"SMITH01", "Secret 1"}};
  int lookups_ = 0;
};

TEST_F(SessionSignatureTest, CarriesTheLoginTimeAndAnHmacButNotThePassword) {
  const std::string signature = SignAt("SMITH01", At(10, 0));
  EXPECT_TRUE(std::regex_match(signature, std::regex("[0-9]+\\.[0-9a-f]{64}"))) << signature;
  EXPECT_EQ(signature.substr(0, signature.find('.')), "1711879200");  // 2024-03-31 10:00:00
  EXPECT_EQ(signature.find("Secret"), std::string::npos);
  // The same login signs the same way; any part that differs signs otherwise.
  EXPECT_EQ(signature, SignAt("SMITH01", At(10, 0)));
  EXPECT_NE(signature, SignAt("SMITH01", At(10, 0, 1)));
  EXPECT_NE(signature, SignAt("SMITH01", At(10, 0), "Secret 2"));
  EXPECT_NE(signature, SignAt("SMITH01", At(10, 0), std::nullopt));
  EXPECT_NE(signature, SignAt("smith01", At(10, 0)));
}

TEST_F(SessionSignatureTest, ASessionLastsMaxAgeFromLoginAndAheadClocksCountAsNow) {
  config_.max_age_minutes = 480;
  const std::string signature = SignAt("SMITH01", At(10, 0));
  struct Case {
    DateTime now;
    bool valid;
  } cases[] = {
      {At(10, 0), true},
      {At(17, 59, 59), true},
      {At(18, 0), false},  // ends max_age_minutes after the login
      {At(23, 0), false},
      // The login was made by a process whose clock runs ahead of this one's.
      {At(9, 55), true},
      {At(9, 54, 59), false},
      {At(9, 0), false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(AccountIdAt("SMITH01", signature, c.now), c.valid ? "SMITH01" : "")
        << c.now.ToIsoDateTime();
  }
  config_.max_age_minutes = 30;
  EXPECT_EQ(AccountIdAt("SMITH01", signature, At(10, 29, 59)), "SMITH01");
  EXPECT_EQ(AccountIdAt("SMITH01", signature, At(10, 30)), "");
}

TEST_F(SessionSignatureTest, AChangedOrRemovedPasswordEndsTheSession) {
  const std::string signature = SignAt("SMITH01", At(10, 0));
  EXPECT_EQ(AccountIdAt("SMITH01", signature, At(10, 5)), "SMITH01");
  passwords_["SMITH01"] = "tank42";
  EXPECT_EQ(AccountIdAt("SMITH01", signature, At(10, 5)), "");
  passwords_["SMITH01"] = std::nullopt;
  EXPECT_EQ(AccountIdAt("SMITH01", signature, At(10, 5)), "");
  passwords_.clear();  // the account is gone
  EXPECT_EQ(AccountIdAt("SMITH01", signature, At(10, 5)), "");
  // A new login under the new password is a session again.
  passwords_["SMITH01"] = "tank42";
  EXPECT_EQ(AccountIdAt("SMITH01", SignAt("SMITH01", At(10, 6), "tank42"), At(10, 7)), "SMITH01");
}

TEST_F(SessionSignatureTest, ForgedAndMalformedSignaturesReadAsNoLogin) {
  const std::string signature = SignAt("SMITH01", At(10, 0));
  const std::string mac = signature.substr(signature.find('.') + 1);
  const std::string other_secret = [&] {
    SessionConfig other = config_;
    other.secret = "another-secret-0123456789-abcdefghij";
    return SessionSignature(other, "").Sign("SMITH01", At(10, 0), "Secret 1");
  }();
  const std::string cases[] = {
      "",
      mac,                            // no login time
      "1711879200" + mac,             // no dot
      "1711879260." + mac,            // a later login time than signed
      "+1711879200." + mac,           // a sign
      "01711879200." + mac,           // the same time spelled otherwise
      "1711879200.",                  // no HMAC
      "1711879200." + mac + "0",      // too long
      "1711879200." + mac.substr(1),  // too short
      "9999999999999." + mac,         // more digits than a time has
      "." + mac,
      other_secret,
  };
  for (const std::string& given : cases) {
    EXPECT_EQ(AccountIdAt("SMITH01", given, At(10, 5)), "") << given;
  }
  // A signature belongs to its account ID as typed.
  EXPECT_EQ(AccountIdAt("SMITH02", signature, At(10, 5)), "");
}

TEST_F(SessionSignatureTest, TheAccountIsReadOnlyForASignatureWithinItsTime) {
  const std::string signature = SignAt("SMITH01", At(10, 0));
  AccountIdAt("SMITH01", "not a signature", At(10, 5));
  AccountIdAt("SMITH01", signature, At(19, 0));
  EXPECT_EQ(lookups_, 0);
  AccountIdAt("SMITH01", signature, At(10, 5));
  EXPECT_EQ(lookups_, 1);
}

TEST_F(SessionSignatureTest, LoggedOutUnsignedAndMissingSecret) {
  EXPECT_EQ(AccountIdAt("", "", At(10, 0)), "");
  EXPECT_EQ(AccountIdAt("-1", "", At(10, 0)), "-1");
  config_.signed_cookies = false;
  EXPECT_EQ(AccountIdAt("SMITH01", "", At(10, 0)), "SMITH01");
  config_.signed_cookies = true;
  config_.secret.reset();
  EXPECT_THROW(AccountIdAt("SMITH01", "", At(10, 0)), ConfigError);
  EXPECT_THROW(SignAt("SMITH01", At(10, 0)), ConfigError);
}

TEST(SignatureCookie, IsHttpOnlyLaxAndSecureOverHttps) {
  const Cookie plain = SignatureCookie("v", false);
  EXPECT_EQ(plain.name, "AccountSig");
  EXPECT_EQ(plain.value, "v");
  EXPECT_TRUE(plain.http_only);
  EXPECT_EQ(plain.same_site, "Lax");
  EXPECT_FALSE(plain.secure);
  EXPECT_TRUE(SignatureCookie("v", true).secure);

  struct Case {
    std::optional<std::string> https;
    bool over_https;
  } cases[] = {{"on", true}, {"ON", true}, {"off", false}, {"", false}, {std::nullopt, false}};
  for (const Case& c : cases) {
    WebRequest request;
    request.environment = [&](std::string_view name) -> std::optional<std::string> {
      return name == "HTTPS" ? c.https : std::nullopt;
    };
    EXPECT_EQ(CameOverHttps(request), c.over_https) << c.https.value_or("(unset)");
  }
  EXPECT_FALSE(CameOverHttps(WebRequest()));
}

}  // namespace
}  // namespace portavel
