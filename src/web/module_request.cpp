#include "web/module_request.h"

#include "account/account_tables.h"
#include "data/query_helpers.h"
#include "payments/merchant_settings.h"
#include "posting/posting_tables.h"
#include "text/html_escape.h"
#include "web/page_frame.h"

namespace portavel {

AccountTableView::AccountTableView(Store& store, DataSet& tblA, bool reduced_portal)
    : tblT(store, "UserData", "Tanks.DB"), tblI(store, "UserData", "Invoices.DB") {
  DeclareTankAndInvoiceTables(tblA, tblT, tblI);
  TPAccount.data_set = &tblA;
  TPTanks.data_set = &tblT;
  TPInvoices.data_set = &tblI;
  DeclareAccountProducers(TPAccount, TPTanks, TPInvoices, reduced_portal);
}

ModuleTables::ModuleTables(const ServiceContext& context)
    : tblRemotePrefs(context.store, "UserData", "RemotePrefs.DB"),
      tblCompany(context.store, "UserData", "Company.DB"),
      tblA(context.store, "UserData", "Accounts.DB"),
      context_(context) {
  DeclareAccountTable(tblA);
  // A request uses a few of the row's 230 fields, and every request these
  // (the company's name and phone head most pages): read with the row,
  // they cost no statement of their own.
  tblRemotePrefs.SetFieldsReadWithRow({"MerchantID", "CCDebug", "UseCC", "CCMin"});
  tblCompany.SetFieldsReadWithRow({"CompanyName", "Phone"});
  tblRemotePrefs.Open();
  CurrentMerchantId = static_cast<int32_t>(tblRemotePrefs.FieldByName("MerchantID").AsInteger());
  tblCompany.Open();
  if (tblRemotePrefs.FieldByName("CCDebug").AsBoolean()) trace.Open("debug.txt");
}

ModuleTables::~ModuleTables() {
  trace.Close();
}

AccountTableView& ModuleTables::AccountView() {
  if (!account_view_) {
    const auto& reduced = context_.config.installation.reduced_portal_installation_id;
    account_view_ = std::make_unique<AccountTableView>(
        context_.store, tblA, reduced && context_.identity.SameDatabaseId(*reduced));
  }
  return *account_view_;
}

PostingTables& ModuleTables::Posting() {
  if (!posting_) {
    posting_ = std::make_unique<PostingTables>(context_.store, context_.platform, tblRemotePrefs);
  }
  return *posting_;
}

std::string CompanyText(ModuleTables& tables, std::string_view field) {
  return HtmlEscape(tables.tblCompany.FieldByName(field).AsString());
}

void OpenAccount(ModuleTables& tables, const std::string& account_id) {
  DataSet& accounts = tables.tblA;
  accounts.Close();
  accounts.ClearFilters();
  accounts.AddFilter("AccountID", Value::Text(account_id), /*case_insensitive=*/true);
  accounts.Open();
}

std::unique_ptr<Store> OpenPrivateSession(const ServiceContext& context) {
  return std::make_unique<Store>(context.config.database);
}

std::optional<std::string> LoggedInAccount(ModuleRequest& action) {
  std::string account_id = action.session.AccountId(action.request);
  if (AnsweredLoggedOut(action.request, action.response, account_id,
                        CompanyText(action.tables, "CompanyName"))) {
    return std::nullopt;
  }
  return account_id;
}

void RefreshMerchantForAccount(ModuleRequest& action, const std::string& account_id) {
  Store& store = action.context.store;
  action.tables.CurrentMerchantId = ResolveMerchantId(store, AccountIndexOf(store, account_id));
  WriteCardTrace(action, "Merchant ID: " + std::to_string(action.tables.CurrentMerchantId));
}

void WriteCardTrace(ModuleRequest& action, std::string_view text) {
  if (!action.tables.tblRemotePrefs.FieldByName("CCDebug").AsBoolean()) return;
  action.tables.trace.Write(action.context.platform, text);
}

}  // namespace portavel
