#include "web/web_module.h"

#include "web/account_page_actions.h"
#include "web/default_actions.h"
#include "web/delivery_actions.h"
#include "web/fuel_request_actions.h"
#include "web/login_actions.h"
#include "web/password_actions.h"
#include "web/payment_page_actions.h"
#include "web/request_guard.h"

#include "posting/posting_tables.h"

namespace portavel {

TwmMain_::TwmMain_(ServiceContext context)
    : context_(context),
      tables_(context_),
      session_(context.config, context.store, context.platform) {
  BuildActionTable();
}

TwmMain_::~TwmMain_() = default;

ActionHandler TwmMain_::Bind(void (*action)(ModuleRequest&)) {
  return [this, action](const WebRequest& request, WebResponse& response, bool&) {
    ModuleRequest serving{request, response, context_, tables_, session_};
    action(serving);
  };
}

void TwmMain_::BuildActionTable() {
  actions_ = {
      {"waiLogin", "/Login", MethodType::mtAny, false, true, Bind(&wmMain_waiLoginAction)},
      {"waiDefault", "", MethodType::mtPost, true, true, Bind(&wmMain_waiDefaultAction)},
      {"waiMain", "/Main", MethodType::mtPost, false, true, Bind(&wmMain_waiMainAction)},
      {"MainAccountPg", "/MainAccountPg", MethodType::mtPost, false, true,
       Bind(&wmMain_MainAccountPgAction)},
      {"ProcessRFF", "/ProcessRFF", MethodType::mtPost, false, true,
       Bind(&wmMain_ProcessRFFAction)},
      {"ProcTankKey", "/ProcTankKey", MethodType::mtPost, false, true,
       Bind(&wmMain_ProcTankKeyAction)},
      {"ProcessCC", "/ProcessCC", MethodType::mtPost, false, true, Bind(&wmMain_ProcessCCAction)},
      {"PayBill", "/PayBill", MethodType::mtPost, false, true, Bind(&wmMain_PayBillAction)},
      {"PWForget", "/PWForget", MethodType::mtPost, false, true, Bind(&wmMain_PWForgetAction)},
      {"EmailPW", "/EmailPW", MethodType::mtPost, false, true, Bind(&wmMain_EmailPWAction)},
      {"ChangePW", "/ChangePW", MethodType::mtPost, false, true, Bind(&wmMain_ChangePWAction)},
      {"PWChange", "/PWChange", MethodType::mtPost, false, true, Bind(&wmMain_PWChangeAction)},
      {"Logout", "/Logout", MethodType::mtPost, false, true, Bind(&wmMain_LogoutAction)},
      {"ChoosePay", "/ChoosePay", MethodType::mtPost, false, true, Bind(&wmMain_ChoosePayAction)},
      {"PayOnce", "/PayOnce", MethodType::mtPost, false, true, Bind(&wmMain_PayOnceAction)},
      {"ProcessNewCard", "/ProcessNewCard", MethodType::mtPost, false, true,
       Bind(&wmMain_ProcessNewCardAction)},
      {"RecordDelivery", "/rd", MethodType::mtAny, false, true, Bind(&wmMain_RecordDeliveryAction)},
      {"Online", "/Online", MethodType::mtGet, false, true, Bind(&wmMain_OnlineAction)},
      {"BatchInfo", "/bi", MethodType::mtAny, false, true, Bind(&wmMain_BatchInfoAction)},
  };
}

bool TwmMain_::HandleRequest(const WebRequest& request, WebResponse& response) {
  ModuleRequest guarded{request, response, context_, tables_, session_};
  const ActionHandler guard = [&guarded](const WebRequest&, WebResponse&, bool& handled) {
    WebModuleBeforeDispatch(guarded, handled);
  };
  return DispatchRequest(request, response, guard, actions_);
}

}  // namespace portavel
