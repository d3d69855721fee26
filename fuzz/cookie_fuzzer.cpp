// The cookie reader: the Cookie header as a visitor may send it, split into
// cookies and checked for a signed account ID.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "config/config.h"
#include "web/field_list.h"
#include "web/session_signature.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view header(reinterpret_cast<const char*>(data), size);
  const portavel::FieldList cookies = portavel::FieldList::ParseCookies(header);

  // The seed "signed" carries a valid signature under this secret.
  portavel::SessionConfig signed_config;
  signed_config.secret = "fuzzing secret, 0123456789 abcdefghijklmnopqrstuvwxyz";
  const portavel::SessionSignature signature(signed_config, "portavel.toml");
  const std::string account_id = signature.AccountIdOf(cookies);
  // Only an account ID signed under the secret gets through.
  if (!account_id.empty() && account_id != portavel::kLoggedOut &&
      cookies.Value(portavel::kSignatureCookie) != signature.Sign(account_id)) {
    __builtin_trap();
  }

  portavel::SessionConfig unsigned_config;
  unsigned_config.signed_cookies = false;
  const portavel::SessionSignature no_signature(unsigned_config, "portavel.toml");
  if (no_signature.AccountIdOf(cookies) != cookies.Value(portavel::kAccountCookie)) {
    __builtin_trap();
  }
  return 0;
}
