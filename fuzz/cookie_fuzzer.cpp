// The cookie reader: the Cookie header as a visitor may send it, split into
// cookies and checked for a signed account ID.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "config/config.h"
#include "dates/date_time.h"
#include "web/field_list.h"
#include "web/session_signature.h"

namespace {

// The seed "signed" carries a login of account 1001 at this time, signed
// under this secret while the account's stored password was this one.
constexpr const char* kSecret = "fuzzing secret, 0123456789 abcdefghijklmnopqrstuvwxyz";
constexpr const char* kStoredPassword = "pw1001";

portavel::DateTime Now() {
  return *portavel::DateTime::FromCivil(2024, 3, 31, 10, 30);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view header(reinterpret_cast<const char*>(data), size);
  const portavel::FieldList cookies = portavel::FieldList::ParseCookies(header);
  const auto stored_password = [](const std::string&) -> std::optional<std::string> {
    return kStoredPassword;
  };

  portavel::SessionConfig signed_config;
  signed_config.secret = kSecret;
  const portavel::SessionSignature signature(signed_config, "portavel.toml");
  const std::string account_id = signature.AccountIdOf(cookies, Now(), stored_password);
  // Only an account ID signed under the secret gets through, and only with
  // the signature that login would have made.
  if (!account_id.empty() && account_id != portavel::kLoggedOut) {
    const std::string given(cookies.Value(portavel::kSignatureCookie));
    const size_t dot = given.find('.');
    if (dot == std::string::npos) __builtin_trap();
    const int64_t seconds = std::stoll(given.substr(0, dot));
    const portavel::DateTime login(
        portavel::DateTime::FromCivil(1970, 1, 1)->day() + static_cast<int32_t>(seconds / 86'400),
        static_cast<int32_t>(seconds % 86'400) * 1000);
    if (signature.Sign(account_id, login, std::string(kStoredPassword)) != given) {
      __builtin_trap();
    }
  }

  portavel::SessionConfig unsigned_config;
  unsigned_config.signed_cookies = false;
  const portavel::SessionSignature no_signature(unsigned_config, "portavel.toml");
  if (no_signature.AccountIdOf(cookies, Now(), stored_password) !=
      cookies.Value(portavel::kAccountCookie)) {
    __builtin_trap();
  }
  return 0;
}
