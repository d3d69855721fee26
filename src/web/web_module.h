// The web module: the program's single per-process object that owns the
// module tables, runs the guard and one action, and composes the pages.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "account/html_table_producer.h"
#include "config/config.h"
#include "data/data_set.h"
#include "data/installation_identity.h"
#include "data/store.h"
#include "payments/card_trace.h"
#include "platform/platform.h"
#include "web/dispatcher.h"
#include "web/page_frame.h"
#include "web/page_lines.h"
#include "web/web_password.h"
#include "web/web_session.h"

namespace portavel {

class PostingTables;
struct CardPayment;

struct ModuleContext {
  const Config& config;
  Store& store;  // the module's own database session
  const InstallationIdentity& identity;
  Platform& platform;
};

class TwmMain_ {
 public:
  // Module creation: opens the preference and company tables, takes the
  // merchant id and opens the trace file when tracing is on.
  explicit TwmMain_(ModuleContext context);
  ~TwmMain_();
  TwmMain_(const TwmMain_&) = delete;
  TwmMain_& operator=(const TwmMain_&) = delete;

  // Guard and dispatch. False when nothing handled the request.
  bool HandleRequest(const WebRequest& request, WebResponse& response);

  const std::vector<ActionItem>& actions() const { return actions_; }
  int32_t current_merchant_id() const { return CurrentMerchantId; }

 private:
  void BuildActionTable();
  ActionHandler Bind(void (TwmMain_::*handler)(const WebRequest&, WebResponse&, bool&));

  // The guard every request passes first.
  void WebModuleBeforeDispatch(const WebRequest& request, WebResponse& response, bool& handled);

  void wmMain_waiDefaultAction(const WebRequest& request, WebResponse& response, bool& handled);
  void wmMain_LogoutAction(const WebRequest& request, WebResponse& response, bool& handled);
  void wmMain_OnlineAction(const WebRequest& request, WebResponse& response, bool& handled);
  void wmMain_waiLoginAction(const WebRequest& request, WebResponse& response, bool& handled);
  void wmMain_waiMainAction(const WebRequest& request, WebResponse& response, bool& handled);
  void wmMain_MainAccountPgAction(const WebRequest& request, WebResponse& response, bool& handled);
  void wmMain_ProcessRFFAction(const WebRequest& request, WebResponse& response, bool& handled);
  void wmMain_ProcTankKeyAction(const WebRequest& request, WebResponse& response, bool& handled);
  void wmMain_PWForgetAction(const WebRequest& request, WebResponse& response, bool& handled);
  void wmMain_EmailPWAction(const WebRequest& request, WebResponse& response, bool& handled);
  void wmMain_ChangePWAction(const WebRequest& request, WebResponse& response, bool& handled);
  void wmMain_PWChangeAction(const WebRequest& request, WebResponse& response, bool& handled);
  void wmMain_ChoosePayAction(const WebRequest& request, WebResponse& response, bool& handled);
  void wmMain_PayBillAction(const WebRequest& request, WebResponse& response, bool& handled);
  void wmMain_PayOnceAction(const WebRequest& request, WebResponse& response, bool& handled);
  void wmMain_ProcessNewCardAction(const WebRequest& request, WebResponse& response, bool& handled);
  void wmMain_ProcessCCAction(const WebRequest& request, WebResponse& response, bool& handled);
  void wmMain_RecordDeliveryAction(const WebRequest& request, WebResponse& response, bool& handled);
  void wmMain_BatchInfoAction(const WebRequest& request, WebResponse& response, bool& handled);

  void WriteCardTrace(std::string_view text);

  // Posts and charges a payment for the account and writes the outcome and
  // return lines of the charging pages.
  void ChargeAndAnswer(const WebRequest& request, WebResponse& response, PageLines& lines,
                       const std::string& account_id, const CardPayment& payment);
  // The common frame of the payment forms: the logged-out answer, or the
  // page head, the account opened for `compose` (which gets the escaped
  // script name and the account id) and the page end.
  void AnswerPaymentForm(
      const WebRequest& request, WebResponse& response,
      const std::function<void(PageLines&, const std::string&, const std::string&)>& compose);
  // The card-entry pages use the merchant of the preferences row as it is now.
  void RefreshMerchantFromPreferences();
  // The Welcome page charges through the merchant the account resolves to.
  void RefreshMerchantForAccount(const std::string& account_id);
  // What the open tblA account owes (a credit is negative).
  Money AmountDue();
  // The request's Payment field as an amount that may be charged: above
  // the preferences' CCMin, within the configured maximum, whole cents.
  std::optional<Money> AcceptedAmount(const WebRequest& request);
  bool IsECheckInstallation() const;

  // A database session of the action's own, isolated from the module's.
  std::unique_ptr<Store> OpenPrivateSession() const;
  // The company row's field as text ("" without a row), escaped for HTML.
  std::string CompanyText(std::string_view field);
  // The session's verified account (WebSession::AccountId).
  std::string SessionAccountId(const WebRequest& request) const;
  // WebSession::AddSignature.
  void AddSessionSignature(const WebRequest& request, WebResponse& response,
                           const std::string& account_id,
                           const std::optional<std::string>& stored_password) const;
  // Opens tblA on the account whose ID equals the cookie's without regard
  // to case (the value is bound, never spliced into the filter).
  void OpenAccount(const std::string& account_id);

  ModuleContext context_;
  // The visitor's session; the guard and the action ask it in turn.
  mutable WebSession session_;
  DataSet tblRemotePrefs;
  DataSet tblCompany;
  DataSet tblA;
  DataSet tblT;
  DataSet tblI;
  HtmlTableProducer TPAccount;
  HtmlTableProducer TPTanks;
  HtmlTableProducer TPInvoices;
  // tblBatch, tblInvoice, tblTransactions and their siblings, with their
  // new-record defaults.
  std::unique_ptr<PostingTables> posting_;
  int32_t CurrentMerchantId = 0;
  CardTrace trace_;
  std::vector<ActionItem> actions_;
};

}  // namespace portavel
