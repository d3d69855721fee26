#include "web/session_signature.h"

#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/hmac.h>

namespace portavel {

SessionSignature::SessionSignature(const SessionConfig& config, std::string config_path)
    : config_(config), config_path_(std::move(config_path)) {}

std::string SessionSignature::Sign(std::string_view account_id) const {
  if (!config_.secret) {
    // Never fall back to a built-in secret: anybody could forge with it.
    throw ConfigError(config_path_ +
                      ": session.secret: missing; signed session cookies need a secret of at "
                      "least " +
                      std::to_string(kMinSessionSecretLength) + " characters");
  }
  // The system's OpenSSL configuration file has nothing for an HMAC, and
  // reading it would cost every request more than the HMAC itself.
  static const bool initialised = OPENSSL_init_crypto(OPENSSL_INIT_NO_LOAD_CONFIG, nullptr) == 1;
  (void)initialised;
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  HMAC(EVP_sha256(), config_.secret->data(), static_cast<int>(config_.secret->size()),
       reinterpret_cast<const unsigned char*>(account_id.data()), account_id.size(), digest,
       &length);
  static const char kHex[] = "0123456789abcdef";
  std::string hex;
  for (unsigned int i = 0; i < length; ++i) {
    hex += kHex[digest[i] >> 4];
    hex += kHex[digest[i] & 15];
  }
  return hex;
}

std::string SessionSignature::AccountIdOf(const FieldList& cookies) const {
  std::string account_id = cookies.Value(kAccountCookie);
  if (!config_.signed_cookies || account_id.empty() || account_id == kLoggedOut) {
    return account_id;
  }
  std::string expected = Sign(account_id);
  std::string given = cookies.Value(kSignatureCookie);
  bool valid = given.size() == expected.size() &&
               CRYPTO_memcmp(given.data(), expected.data(), expected.size()) == 0;
  return valid ? account_id : std::string();
}

}  // namespace portavel
