#include "admin/demo_setup.h"

#include "admin/admin_error.h"
#include "admin/demo_data.h"
#include "admin/demo_postings.h"
#include "data/data_set.h"
#include "data/query.h"
#include "data/store.h"
#include "platform/platform.h"
#include "receivables/account_aging.h"

namespace portavel {

std::vector<TableLoadCount> LoadDemoData(Store& store, Platform& platform, std::ostream& progress) {
  DataSet accounts(store, "UserData", "Accounts");
  accounts.Open();
  if (!accounts.IsEmpty()) {
    throw DataError("the store already holds accounts; the demo data is only for an empty store");
  }
  std::vector<TableLoadCount> counts =
      LoadTables(store, DemoDataJson(platform.Now().DateOnly()), progress);
  PostDemoHistory(store, platform);
  for (const char* table : {"Manifest", "Invoices", "Transactions", "TransTaxLkUp"}) {
    Query rows(store, "UserData", "SELECT COUNT(*) FROM " + QuoteIdentifier(table));
    rows.Open();
    counts.push_back({table, static_cast<int>(rows.Column(0).AsInteger())});
  }
  // The stored aging is what the fuel request page judges past due by.
  accounts.Refresh();
  for (accounts.First(); !accounts.Eof(); accounts.Next()) AgeAccount(store, platform, accounts);
  return counts;
}

}  // namespace portavel
