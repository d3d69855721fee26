#include "admin/demo_setup.h"

#include "admin/admin_error.h"
#include "admin/demo_data.h"
#include "data/data_set.h"
#include "data/store.h"

namespace portavel {

std::vector<TableLoadCount> LoadDemoData(Store& store, DateTime today, std::ostream& progress) {
  DataSet accounts(store, "UserData", "Accounts");
  accounts.SetReadOnly(true);
  accounts.Open();
  if (!accounts.IsEmpty()) {
    throw DataError("the store already holds accounts; the demo data is only for an empty store");
  }
  accounts.Close();
  return LoadTables(store, DemoDataJson(today), progress);
}

}  // namespace portavel
