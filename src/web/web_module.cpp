#include "web/web_module.h"

#include "account/account_tables.h"
#include "data/query_helpers.h"
#include "payments/merchant_settings.h"
#include "posting/posting_tables.h"
#include "text/html_escape.h"

namespace portavel {

TwmMain_::TwmMain_(ModuleContext context)
    : context_(context),
      session_(context.config, context.store, context.platform),
      tblRemotePrefs(context.store, "UserData", "RemotePrefs.DB"),
      tblCompany(context.store, "UserData", "Company.DB"),
      tblA(context.store, "UserData", "Accounts.DB"),
      tblT(context.store, "UserData", "Tanks.DB"),
      tblI(context.store, "UserData", "Invoices.DB") {
  DeclareAccountTables(tblA, tblT, tblI);
  TPAccount.data_set = &tblA;
  TPTanks.data_set = &tblT;
  TPInvoices.data_set = &tblI;
  const auto& reduced = context.config.installation.reduced_portal_installation_id;
  DeclareAccountProducers(TPAccount, TPTanks, TPInvoices,
                          reduced && context.identity.SameDatabaseId(*reduced));
  // A request uses a few of the row's 230 fields.
  tblRemotePrefs.SetFieldsReadWithRow({});
  tblRemotePrefs.Open();
  posting_ = std::make_unique<PostingTables>(context.store, context.platform, tblRemotePrefs);
  CurrentMerchantId = static_cast<int32_t>(tblRemotePrefs.FieldByName("MerchantID").AsInteger());
  tblCompany.Open();
  if (tblRemotePrefs.FieldByName("CCDebug").AsBoolean()) trace_.Open("debug.txt");
  BuildActionTable();
}

TwmMain_::~TwmMain_() {
  trace_.Close();
}

ActionHandler TwmMain_::Bind(void (TwmMain_::*handler)(const WebRequest&, WebResponse&, bool&)) {
  return [this, handler](const WebRequest& request, WebResponse& response, bool& handled) {
    (this->*handler)(request, response, handled);
  };
}

void TwmMain_::BuildActionTable() {
  actions_ = {
      {"waiLogin", "/Login", MethodType::Any, false, true, Bind(&TwmMain_::wmMain_waiLoginAction)},
      {"waiDefault", "", MethodType::Post, true, true, Bind(&TwmMain_::wmMain_waiDefaultAction)},
      {"waiMain", "/Main", MethodType::Post, false, true, Bind(&TwmMain_::wmMain_waiMainAction)},
      {"MainAccountPg", "/MainAccountPg", MethodType::Post, false, true,
       Bind(&TwmMain_::wmMain_MainAccountPgAction)},
      {"ProcessRFF", "/ProcessRFF", MethodType::Post, false, true,
       Bind(&TwmMain_::wmMain_ProcessRFFAction)},
      {"ProcTankKey", "/ProcTankKey", MethodType::Post, false, true,
       Bind(&TwmMain_::wmMain_ProcTankKeyAction)},
      {"ProcessCC", "/ProcessCC", MethodType::Post, false, true,
       Bind(&TwmMain_::wmMain_ProcessCCAction)},
      {"PayBill", "/PayBill", MethodType::Post, false, true, Bind(&TwmMain_::wmMain_PayBillAction)},
      {"PWForget", "/PWForget", MethodType::Post, false, true,
       Bind(&TwmMain_::wmMain_PWForgetAction)},
      {"EmailPW", "/EmailPW", MethodType::Post, false, true, Bind(&TwmMain_::wmMain_EmailPWAction)},
      {"ChangePW", "/ChangePW", MethodType::Post, false, true,
       Bind(&TwmMain_::wmMain_ChangePWAction)},
      {"PWChange", "/PWChange", MethodType::Post, false, true,
       Bind(&TwmMain_::wmMain_PWChangeAction)},
      {"Logout", "/Logout", MethodType::Post, false, true, Bind(&TwmMain_::wmMain_LogoutAction)},
      {"ChoosePay", "/ChoosePay", MethodType::Post, false, true,
       Bind(&TwmMain_::wmMain_ChoosePayAction)},
      {"PayOnce", "/PayOnce", MethodType::Post, false, true, Bind(&TwmMain_::wmMain_PayOnceAction)},
      {"ProcessNewCard", "/ProcessNewCard", MethodType::Post, false, true,
       Bind(&TwmMain_::wmMain_ProcessNewCardAction)},
      {"RecordDelivery", "/rd", MethodType::Any, false, true,
       Bind(&TwmMain_::wmMain_RecordDeliveryAction)},
      {"Online", "/Online", MethodType::Get, false, true, Bind(&TwmMain_::wmMain_OnlineAction)},
      {"BatchInfo", "/bi", MethodType::Any, false, true, Bind(&TwmMain_::wmMain_BatchInfoAction)},
  };
}

bool TwmMain_::HandleRequest(const WebRequest& request, WebResponse& response) {
  return DispatchRequest(request, response, Bind(&TwmMain_::WebModuleBeforeDispatch), actions_);
}

std::unique_ptr<Store> TwmMain_::OpenPrivateSession() const {
  return std::make_unique<Store>(context_.config.database);
}

std::string TwmMain_::CompanyText(std::string_view field) {
  return HtmlEscape(tblCompany.FieldByName(field).AsString());
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
  tblA.Close();
  tblA.ClearFilters();
  tblA.AddFilter("AccountID", Value::Text(account_id), /*case_insensitive=*/true);
  tblA.Open();
}

void TwmMain_::RefreshMerchantForAccount(const std::string& account_id) {
  CurrentMerchantId = ResolveMerchantId(context_.store, AccountIndexOf(context_.store, account_id));
  WriteCardTrace("Merchant ID: " + std::to_string(CurrentMerchantId));
}

void TwmMain_::WriteCardTrace(std::string_view text) {
  if (!tblRemotePrefs.FieldByName("CCDebug").AsBoolean()) return;
  trace_.Write(context_.platform, text);
}

}  // namespace portavel
