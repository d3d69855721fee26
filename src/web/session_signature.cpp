#include "web/session_signature.h"

#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/hmac.h>
#include <openssl/sha.h>

#include "text/cp1252.h"

namespace portavel {
namespace {

constexpr int64_t kSecondsPerDay = 86'400;
// More digits than any login time needs; a longer value is not a session.
constexpr size_t kMaxLoginTimeDigits = 12;

// Seconds since 1970-01-01 00:00 on the clock the time was read from.
int64_t SecondsOf(DateTime time) {
  static const int32_t epoch_day = DateTime::FromCivil(1970, 1, 1)->day();
  return (static_cast<int64_t>(time.day()) - epoch_day) * kSecondsPerDay + time.ms_of_day() / 1000;
}

std::optional<int64_t> ParseLoginSeconds(std::string_view text) {
  if (text.empty() || text.size() > kMaxLoginTimeDigits) return std::nullopt;
  // One spelling per time: what was signed is what comes back.
  if (text.size() > 1 && text[0] == '0') return std::nullopt;
  int64_t seconds = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    seconds = seconds * 10 + (c - '0');
  }
  return seconds;
}

std::string Hex(const unsigned char* bytes, size_t length) {
  static const char kHex[] = "0123456789abcdef";
  std::string hex;
  for (size_t i = 0; i < length; ++i) {
    hex += kHex[bytes[i] >> 4];
    hex += kHex[bytes[i] & 15];
  }
  return hex;
}

// The password enters the HMAC only as its digest, and an account without
// one gets a stamp that no password produces.
std::string PasswordStamp(const std::optional<std::string>& stored_password) {
  if (!stored_password) return "-";
  unsigned char digest[SHA256_DIGEST_LENGTH];
  SHA256(reinterpret_cast<const unsigned char*>(stored_password->data()), stored_password->size(),
         digest);
  return "p" + Hex(digest, sizeof digest);
}

}  // namespace

bool CameOverHttps(const WebRequest& request) {
  if (!request.environment) return false;
  const std::optional<std::string> https = request.environment("HTTPS");
  return https && EqualsNoCase1252(*https, "on");
}

Cookie AccountCookie(std::string value) {
  Cookie cookie;
  cookie.name = kAccountCookie;
  cookie.value = std::move(value);
  return cookie;
}

Cookie SignatureCookie(std::string value, bool over_https) {
  Cookie cookie;
  cookie.name = kSignatureCookie;
  cookie.value = std::move(value);
  cookie.secure = over_https;
  cookie.http_only = true;
  cookie.same_site = "Lax";
  return cookie;
}

SessionSignature::SessionSignature(const SessionConfig& config, std::string config_path)
    : config_(config), config_path_(std::move(config_path)) {}

const std::string& SessionSignature::RequiredSecret() const {
  if (!config_.secret) {
    // Never fall back to a built-in secret: anybody could forge with it.
    throw ConfigError(config_path_ +
                      ": session.secret: missing; signed session cookies need a secret of at "
                      "least " +
                      std::to_string(kMinSessionSecretLength) + " characters");
  }
  return *config_.secret;
}

std::string SessionSignature::Mac(std::string_view account_id, int64_t login_seconds,
                                  const std::optional<std::string>& stored_password) const {
  const std::string& secret = RequiredSecret();
  // The system's OpenSSL configuration file has nothing for an HMAC, and
  // reading it would cost every request more than the HMAC itself.
  static const bool initialised = OPENSSL_init_crypto(OPENSSL_INIT_NO_LOAD_CONFIG, nullptr) == 1;
  (void)initialised;
  // The account ID goes first with its length, so that no ID can borrow
  // the bytes of the parts after it.
  const std::string message = std::to_string(account_id.size()) + ":" + std::string(account_id) +
                              "\n" + std::to_string(login_seconds) + "\n" +
                              PasswordStamp(stored_password);
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  HMAC(EVP_sha256(), secret.data(), static_cast<int>(secret.size()),
       reinterpret_cast<const unsigned char*>(message.data()), message.size(), digest, &length);
  return Hex(digest, length);
}

std::string SessionSignature::Sign(std::string_view account_id, DateTime login_time,
                                   const std::optional<std::string>& stored_password) const {
  const int64_t login_seconds = SecondsOf(login_time);
  return std::to_string(login_seconds) + "." + Mac(account_id, login_seconds, stored_password);
}

std::string SessionSignature::AccountIdOf(const FieldList& cookies, DateTime now,
                                          const PasswordLookup& stored_password) const {
  std::string account_id = cookies.Value(kAccountCookie);
  if (!config_.signed_cookies || account_id.empty() || account_id == kLoggedOut) {
    return account_id;
  }
  RequiredSecret();
  const std::string given = cookies.Value(kSignatureCookie);
  const size_t dot = given.find('.');
  if (dot == std::string::npos) return std::string();
  const std::optional<int64_t> login_seconds = ParseLoginSeconds(given.substr(0, dot));
  if (!login_seconds) return std::string();
  const int64_t now_seconds = SecondsOf(now);
  // A login a little ahead of this clock was made by a process whose clock
  // runs ahead; it counts as made now.
  if (*login_seconds > now_seconds + kSessionClockSkewSeconds) return std::string();
  if (now_seconds - *login_seconds >= int64_t{config_.max_age_minutes} * 60) return std::string();
  const std::string expected = Mac(account_id, *login_seconds, stored_password(account_id));
  const std::string_view mac = std::string_view(given).substr(dot + 1);
  const bool valid = mac.size() == expected.size() &&
                     CRYPTO_memcmp(mac.data(), expected.data(), expected.size()) == 0;
  return valid ? account_id : std::string();
}

}  // namespace portavel
