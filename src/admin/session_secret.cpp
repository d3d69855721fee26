#include "admin/session_secret.h"

#include <openssl/rand.h>

#include <stdexcept>
#include <string_view>

#include "config/config.h"

namespace portavel {
namespace {

constexpr std::string_view kAlphabet =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
// Bytes at or above this would make the first letters more likely.
constexpr unsigned kUnbiasedLimit = 256 - 256 % kAlphabet.size();

}  // namespace

std::string NewSessionSecret() {
  std::string secret;
  // 62 symbols over 64 places leave fewer than 16 distinct ones about never;
  // drawing again then keeps the promise that the portal accepts the result.
  while (secret.size() < kNewSessionSecretLength || !SessionSecretProblem(secret).empty()) {
    if (secret.size() == kNewSessionSecretLength) secret.clear();
    unsigned char bytes[kNewSessionSecretLength];
    if (RAND_bytes(bytes, sizeof bytes) != 1) {
      throw std::runtime_error("the system's random source failed; no secret made");
    }
    for (unsigned char byte : bytes) {
      if (byte < kUnbiasedLimit && secret.size() < kNewSessionSecretLength) {
        secret += kAlphabet[byte % kAlphabet.size()];
      }
    }
  }
  return secret;
}

}  // namespace portavel
