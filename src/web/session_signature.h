// The account cookie alone would let anybody read any account by setting
// it; a second cookie carries an HMAC-SHA256 of the account ID under the
// server's secret, and only a signed account ID counts as logged in.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "config/config.h"
#include "web/field_list.h"

namespace portavel {

inline constexpr const char* kAccountCookie = "AccountID";
inline constexpr const char* kSignatureCookie = "AccountSig";
inline constexpr const char* kLoggedOut = "-1";

class SessionSignature {
 public:
  SessionSignature(const SessionConfig& config, std::string config_path);

  // The signature cookie's value for an account ID (lower-case hex).
  // Throws ConfigError when signing is on and no secret is configured.
  std::string Sign(std::string_view account_id) const;

  // The AccountID cookie as the pages may use it: "" (never logged in),
  // "-1" (logged out), or an account ID whose signature is valid. A
  // forged or unsigned account ID reads as "". Throws ConfigError when
  // there is an account ID to check and no secret.
  std::string AccountIdOf(const FieldList& cookies) const;

  bool signing_enabled() const { return config_.signed_cookies; }

 private:
  SessionConfig config_;
  std::string config_path_;
};

}  // namespace portavel
