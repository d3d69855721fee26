// The account cookie alone would let anybody read any account by setting
// it; a second cookie carries the time of login and an HMAC-SHA256 under
// the server's secret of the account ID, that time and a stamp of the
// account's stored web password. Only a signed account ID counts as logged
// in, and only until the session's maximum age has passed or the stored
// password has changed.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "config/config.h"
#include "dates/date_time.h"
#include "web/field_list.h"
#include "web/web_request.h"
#include "web/web_response.h"

namespace portavel {

inline constexpr const char* kAccountCookie = "AccountID";
inline constexpr const char* kSignatureCookie = "AccountSig";
inline constexpr const char* kLoggedOut = "-1";
// Another process's clock may run a little ahead of this one's.
inline constexpr int64_t kSessionClockSkewSeconds = 5 * 60;

// Whether the web server says the request came over HTTPS (HTTPS=on).
bool CameOverHttps(const WebRequest& request);

// The AccountID cookie, bare as the pages and the dealer's other tools
// have always had it.
Cookie AccountCookie(std::string value);

// The signature cookie with its attributes: never readable by scripts, not
// sent along with other sites' form posts, and only over HTTPS when the
// request came that way.
Cookie SignatureCookie(std::string value, bool over_https);

class SessionSignature {
 public:
  // Looks up what SessionPasswordOf gives for an account ID.
  using PasswordLookup = std::function<std::optional<std::string>(const std::string&)>;

  SessionSignature(const SessionConfig& config, std::string config_path);

  // The signature cookie's value for a login of `account_id` (as typed) at
  // `login_time` while the account's stored password is `stored_password`:
  // "<login time in seconds>.<HMAC in lower-case hex>". The password never
  // leaves the HMAC. Throws ConfigError when no secret is configured.
  std::string Sign(std::string_view account_id, DateTime login_time,
                   const std::optional<std::string>& stored_password) const;

  // The AccountID cookie as the pages may use it: "" (never logged in),
  // "-1" (logged out), or an account ID whose signature is valid at `now`.
  // A forged, unsigned, expired or revoked (password changed) session reads
  // as "". `stored_password` is asked only for a signature that is well
  // formed and within its time. Throws ConfigError when there is an
  // account ID to check and no secret.
  std::string AccountIdOf(const FieldList& cookies, DateTime now,
                          const PasswordLookup& stored_password) const;

  bool signing_enabled() const { return config_.signed_cookies; }

 private:
  // Throws ConfigError when no secret is configured.
  const std::string& RequiredSecret() const;
  std::string Mac(std::string_view account_id, int64_t login_seconds,
                  const std::optional<std::string>& stored_password) const;

  SessionConfig config_;
  std::string config_path_;
};

}  // namespace portavel
