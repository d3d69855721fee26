// A visitor's session as one request sees it: which account the cookies
// name once their signature is checked, and the signature a login or a
// password change gives the visitor.
#pragma once

#include <optional>
#include <string>

#include "config/config.h"
#include "data/store.h"
#include "platform/platform.h"
#include "web/session_signature.h"
#include "web/web_request.h"
#include "web/web_response.h"

namespace portavel {

class WebSession {
 public:
  WebSession(const Config& config, Store& store, Platform& platform);

  // The verified AccountID cookie: "", "-1" or an account ID whose session
  // is signed, within its age and made under the account's stored
  // password. The guard and then the action ask for the same request, and
  // each check reads the account's stored password, so the answer for the
  // request's cookies is kept.
  std::string AccountId(const WebRequest& request);

  // Starts a signed session of `account_id` now, under its stored web
  // password: adds the signature cookie (nothing when signing is off).
  void AddSignature(const WebRequest& request, WebResponse& response, const std::string& account_id,
                    const std::optional<std::string>& stored_password) const;

  bool signing_enabled() const { return signature_.signing_enabled(); }

 private:
  struct Checked {
    std::string account_cookie;
    std::string signature_cookie;
    std::string account_id;
  };

  SessionSignature signature_;
  Store& store_;
  Platform& platform_;
  std::optional<Checked> checked_;
};

}  // namespace portavel
