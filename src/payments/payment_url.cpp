#include "payments/payment_url.h"

#include "data/data_set.h"
#include "data/store.h"

namespace portavel {

std::optional<std::string> ReadPaymentUrl(Store& store) {
  if (!store.TableExists("UserData", "PMNT_URL")) {
    store.CreateTable(store.Definition("UserData", "PMNT_URL"));
  }
  DataSet table(store, "UserData", "PMNT_URL");
  table.SetReadOnly(true);
  table.Open();
  if (table.IsEmpty()) return std::nullopt;
  const Field& url = table.FieldByName("URL");
  if (url.IsNull()) return std::nullopt;
  return url.AsString();
}

}  // namespace portavel
