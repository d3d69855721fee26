#include "payments/card_transaction_log.h"

#include <string>
#include <utility>
#include <vector>

#include "data/key_broker.h"
#include "data/query.h"
#include "data/store.h"
#include "platform/platform.h"

namespace portavel {
namespace {

using Columns = std::vector<std::pair<const char*, Value>>;

// The columns every row starts with, in the order of the statements the
// desktop program's reports were written against.
Columns CommonColumns(Store& store, Platform& platform, const CardTransactionEntry& entry) {
  const int32_t key = GetNextKey(store, platform, "ccTransactions", "ccTransKey");
  // The attempt's date and its time to the second, as the locale shows them.
  const DateTime now = platform.Now();
  const DateTime time_of_day(0, now.ms_of_day() - now.millisecond());
  Columns columns{{"CCTransKey", Value::Integer(key)},
                  {"AccountKey", Value::Integer(entry.account_key)},
                  {"RespMsg", Value::Text(entry.message)}};
  if (entry.approved) columns.emplace_back("PayBatchkey", Value::Integer(entry.batch_key));
  columns.emplace_back("Approved", Value::Boolean(entry.approved));
  columns.emplace_back("PayTransKey", Value::Integer(entry.approved ? entry.trans_key : -1));
  columns.emplace_back("TransAmount", Value::Currency(entry.amount));
  columns.emplace_back("TransDate", Value::Date(now));
  columns.emplace_back("TransTime", Value::Time(time_of_day));
  columns.emplace_back("Response", Value::Text(entry.response));
  return columns;
}

// One insert with every value bound; a failure throws, and the gateway
// client then tries its next statement.
void InsertRow(Store& store, const Columns& columns) {
  std::string names;
  std::string values;
  for (const auto& [name, value] : columns) {
    if (!names.empty()) {
      names += ", ";
      values += ", ";
    }
    names += name;
    values += std::string(":") + name;
  }
  Query insert(store, "UserData",
               "insert into ccTransactions (" + names + ") values(" + values + ")");
  for (const auto& [name, value] : columns) insert.SetParam(name, value);
  insert.ExecSql();
}

}  // namespace

void LogFormPostTransaction(Store& store, Platform& platform, const CardTransactionEntry& entry,
                            int64_t pn_ref) {
  Columns columns = CommonColumns(store, platform, entry);
  columns.emplace_back("PNRef", Value::Integer(pn_ref));
  columns.emplace_back("merchantId", Value::Integer(entry.merchant_id));
  InsertRow(store, columns);
}

void LogXmlTransaction(Store& store, Platform& platform, const CardTransactionEntry& entry,
                       const XmlTransactionFields& fields) {
  Columns columns = CommonColumns(store, platform, entry);
  columns.emplace_back("TransactionID", Value::Text(fields.transaction_id));
  columns.emplace_back("Token", Value::Text(fields.token));
  columns.emplace_back("TransType", Value::Text(fields.request_kind));
  if (entry.approved) {
    columns.emplace_back("CCNumLast4", Value::Text(MaskCardNumber(fields.card_number)));
  }
  columns.emplace_back("merchantId", Value::Integer(entry.merchant_id));
  InsertRow(store, columns);
}

std::string MaskCardNumber(std::string_view card_number) {
  if (card_number.size() <= 4) return std::string(card_number);
  return std::string(card_number.size() - 4, '*') +
         std::string(card_number.substr(card_number.size() - 4));
}

}  // namespace portavel
