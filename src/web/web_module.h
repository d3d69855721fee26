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
#include "web/module_request.h"
#include "web/page_frame.h"
#include "web/page_lines.h"
#include "web/web_password.h"
#include "web/web_session.h"

namespace portavel {

struct CardPayment;

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
  int32_t current_merchant_id() const { return tables_.CurrentMerchantId; }

 private:
  void BuildActionTable();
  ActionHandler Bind(void (TwmMain_::*handler)(const WebRequest&, WebResponse&, bool&));
  // An action written as a free function of the request it serves.
  ActionHandler Bind(void (*action)(ModuleRequest&));

  // The guard every request passes first.
  void WebModuleBeforeDispatch(const WebRequest& request, WebResponse& response, bool& handled);

  void wmMain_ProcessRFFAction(const WebRequest& request, WebResponse& response, bool& handled);
  void wmMain_ProcTankKeyAction(const WebRequest& request, WebResponse& response, bool& handled);
  void wmMain_PWForgetAction(const WebRequest& request, WebResponse& response, bool& handled);
  void wmMain_EmailPWAction(const WebRequest& request, WebResponse& response, bool& handled);
  void wmMain_ChangePWAction(const WebRequest& request, WebResponse& response, bool& handled);
  void wmMain_PWChangeAction(const WebRequest& request, WebResponse& response, bool& handled);

  void WriteCardTrace(std::string_view text);

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
  ModuleTables tables_;
  // The visitor's session; the guard and the action ask it in turn.
  mutable WebSession session_;
  // The tables by the names the pages still written as members use.
  DataSet& tblRemotePrefs = tables_.tblRemotePrefs;
  DataSet& tblCompany = tables_.tblCompany;
  DataSet& tblA = tables_.tblA;
  DataSet& tblT = tables_.tblT;
  DataSet& tblI = tables_.tblI;
  HtmlTableProducer& TPAccount = tables_.TPAccount;
  HtmlTableProducer& TPTanks = tables_.TPTanks;
  HtmlTableProducer& TPInvoices = tables_.TPInvoices;
  std::unique_ptr<PostingTables>& posting_ = tables_.posting;
  int32_t& CurrentMerchantId = tables_.CurrentMerchantId;
  CardTrace& trace_ = tables_.trace;
  std::vector<ActionItem> actions_;
};

}  // namespace portavel
