// What an action of the web module works with: the request and its
// response, the process's services, the tables the module opened for the
// request and the visitor's session. Actions are free functions of this,
// one file per page family; the module only routes to them.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "account/html_table_producer.h"
#include "config/config.h"
#include "data/data_set.h"
#include "data/installation_identity.h"
#include "data/service_context.h"
#include "data/store.h"
#include "payments/card_trace.h"
#include "platform/platform.h"
#include "web/web_request.h"
#include "web/web_response.h"
#include "web/web_session.h"

namespace portavel {

class PostingTables;

// The tank and invoice tables that follow the account table, and the
// producers that show the three as HTML.
struct AccountTableView {
  AccountTableView(Store& store, DataSet& tblA, bool reduced_portal);

  DataSet tblT;
  DataSet tblI;
  HtmlTableProducer TPAccount;
  HtmlTableProducer TPTanks;
  HtmlTableProducer TPInvoices;
};

// The tables the module opens for a request: the preference and company
// rows, the account table, the tank and invoice tables with their HTML
// producers, the posting tables, the merchant the request charges through
// and the card trace. The views and the posting tables are made when a
// page first asks for them: most pages need neither.
struct ModuleTables {
  // Opens the preference and company tables, takes the merchant id and
  // opens the trace file when tracing is on.
  explicit ModuleTables(const ServiceContext& context);
  ~ModuleTables();
  ModuleTables(const ModuleTables&) = delete;
  ModuleTables& operator=(const ModuleTables&) = delete;

  AccountTableView& AccountView();
  // tblBatch, tblInvoice, tblTransactions and their siblings, with their
  // new-record defaults.
  PostingTables& Posting();

  DataSet tblRemotePrefs;
  DataSet tblCompany;
  DataSet tblA;
  int32_t CurrentMerchantId = 0;
  CardTrace trace;

 private:
  const ServiceContext& context_;
  std::unique_ptr<AccountTableView> account_view_;
  std::unique_ptr<PostingTables> posting_;
};

struct ModuleRequest {
  const WebRequest& request;
  WebResponse& response;
  const ServiceContext& context;
  ModuleTables& tables;
  WebSession& session;
};

// The company row's field as text ("" without a row), escaped for HTML.
std::string CompanyText(ModuleTables& tables, std::string_view field);

// Opens tblA on the account whose ID equals `account_id` without regard to
// case (the value is bound, never spliced into the filter).
void OpenAccount(ModuleTables& tables, const std::string& account_id);

// A database session of the action's own, isolated from the module's.
std::unique_ptr<Store> OpenPrivateSession(const ServiceContext& context);

// The session's account for a page that needs a login; nothing once a
// logged-out visitor ("-1") got the logged-out page under the company's name.
std::optional<std::string> LoggedInAccount(ModuleRequest& action);

// The Welcome page charges through the merchant the account resolves to.
void RefreshMerchantForAccount(ModuleRequest& action, const std::string& account_id);

// A line in the card trace, when the preferences turn tracing on.
void WriteCardTrace(ModuleRequest& action, std::string_view text);

}  // namespace portavel
