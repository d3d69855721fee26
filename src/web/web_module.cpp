#include "web/web_module.h"

#include "web/account_page_actions.h"
#include "web/default_actions.h"
#include "web/delivery_actions.h"
#include "web/login_actions.h"
#include "web/payment_page_actions.h"

#include "account/account_tables.h"
#include "data/query_helpers.h"
#include "payments/merchant_settings.h"
#include "posting/posting_tables.h"
#include "text/html_escape.h"

namespace portavel {

TwmMain_::TwmMain_(ModuleContext context)
    : context_(context),
      tables_(context_),
      session_(context.config, context.store, context.platform) {
  BuildActionTable();
}

TwmMain_::~TwmMain_() = default;

ActionHandler TwmMain_::Bind(void (TwmMain_::*handler)(const WebRequest&, WebResponse&, bool&)) {
  return [this, handler](const WebRequest& request, WebResponse& response, bool& handled) {
    (this->*handler)(request, response, handled);
  };
}

ActionHandler TwmMain_::Bind(void (*action)(ModuleRequest&)) {
  return [this, action](const WebRequest& request, WebResponse& response, bool&) {
    ModuleRequest serving{request, response, context_, tables_, session_};
    action(serving);
  };
}

void TwmMain_::BuildActionTable() {
  actions_ = {
      {"waiLogin", "/Login", MethodType::Any, false, true, Bind(&wmMain_waiLoginAction)},
      {"waiDefault", "", MethodType::Post, true, true, Bind(&wmMain_waiDefaultAction)},
      {"waiMain", "/Main", MethodType::Post, false, true, Bind(&wmMain_waiMainAction)},
      {"MainAccountPg", "/MainAccountPg", MethodType::Post, false, true,
       Bind(&wmMain_MainAccountPgAction)},
      {"ProcessRFF", "/ProcessRFF", MethodType::Post, false, true,
       Bind(&TwmMain_::wmMain_ProcessRFFAction)},
      {"ProcTankKey", "/ProcTankKey", MethodType::Post, false, true,
       Bind(&TwmMain_::wmMain_ProcTankKeyAction)},
      {"ProcessCC", "/ProcessCC", MethodType::Post, false, true, Bind(&wmMain_ProcessCCAction)},
      {"PayBill", "/PayBill", MethodType::Post, false, true, Bind(&wmMain_PayBillAction)},
      {"PWForget", "/PWForget", MethodType::Post, false, true,
       Bind(&TwmMain_::wmMain_PWForgetAction)},
      {"EmailPW", "/EmailPW", MethodType::Post, false, true, Bind(&TwmMain_::wmMain_EmailPWAction)},
      {"ChangePW", "/ChangePW", MethodType::Post, false, true,
       Bind(&TwmMain_::wmMain_ChangePWAction)},
      {"PWChange", "/PWChange", MethodType::Post, false, true,
       Bind(&TwmMain_::wmMain_PWChangeAction)},
      {"Logout", "/Logout", MethodType::Post, false, true, Bind(&wmMain_LogoutAction)},
      {"ChoosePay", "/ChoosePay", MethodType::Post, false, true, Bind(&wmMain_ChoosePayAction)},
      {"PayOnce", "/PayOnce", MethodType::Post, false, true, Bind(&wmMain_PayOnceAction)},
      {"ProcessNewCard", "/ProcessNewCard", MethodType::Post, false, true,
       Bind(&wmMain_ProcessNewCardAction)},
      {"RecordDelivery", "/rd", MethodType::Any, false, true, Bind(&wmMain_RecordDeliveryAction)},
      {"Online", "/Online", MethodType::Get, false, true, Bind(&wmMain_OnlineAction)},
      {"BatchInfo", "/bi", MethodType::Any, false, true, Bind(&wmMain_BatchInfoAction)},
  };
}

bool TwmMain_::HandleRequest(const WebRequest& request, WebResponse& response) {
  return DispatchRequest(request, response, Bind(&TwmMain_::WebModuleBeforeDispatch), actions_);
}

std::unique_ptr<Store> TwmMain_::OpenPrivateSession() const {
  return portavel::OpenPrivateSession(context_);
}

std::string TwmMain_::CompanyText(std::string_view field) {
  return portavel::CompanyText(tables_, field);
}

std::string TwmMain_::SessionAccountId(const WebRequest& request) const {
  return session_.AccountId(request);
}

void TwmMain_::AddSessionSignature(const WebRequest& request, WebResponse& response,
                                   const std::string& account_id,
                                   const std::optional<std::string>& stored_password) const {
  session_.AddSignature(request, response, account_id, stored_password);
}

void TwmMain_::OpenAccount(const std::string& account_id) {
  portavel::OpenAccount(tables_, account_id);
}

void TwmMain_::WriteCardTrace(std::string_view text) {
  if (!tables_.tblRemotePrefs.FieldByName("CCDebug").AsBoolean()) return;
  tables_.trace.Write(context_.platform, text);
}

}  // namespace portavel
