#include "web/web_session.h"

#include "web/web_password.h"

namespace portavel {

WebSession::WebSession(const Config& config, Store& store, Platform& platform)
    : signature_(config.session, config.path), store_(store), platform_(platform) {}

std::string WebSession::AccountId(const WebRequest& request) {
  std::string account_cookie = request.cookie_fields.Value(kAccountCookie);
  std::string signature_cookie = request.cookie_fields.Value(kSignatureCookie);
  if (!checked_ || checked_->account_cookie != account_cookie ||
      checked_->signature_cookie != signature_cookie) {
    std::string account_id = signature_.AccountIdOf(
        request.cookie_fields, platform_.Now(),
        [this](const std::string& id) { return SessionPasswordOf(store_, id); });
    checked_ =
        Checked{std::move(account_cookie), std::move(signature_cookie), std::move(account_id)};
  }
  return checked_->account_id;
}

void WebSession::AddSignature(const WebRequest& request, WebResponse& response,
                              const std::string& account_id,
                              const std::optional<std::string>& stored_password) const {
  if (!signature_.signing_enabled()) return;
  response.cookies.push_back(SignatureCookie(
      signature_.Sign(account_id, platform_.Now(), stored_password), CameOverHttps(request)));
}

}  // namespace portavel
