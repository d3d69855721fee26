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

// The row's columns in the order of the statements the desktop program's
// reports were written against. Columns a row of its kind does not carry
// are null, so that completing a reserved row leaves nothing of it behind.
Columns RowColumns(const CardLogRow& row) {
  // The attempt's date and its time to the second, as the locale shows them.
  const DateTime time_of_day(0, row.when.ms_of_day() - row.when.ms_of_day() % 1000);
  const bool form_post = row.shape == CardLogShape::kFormPost;
  auto text_if = [](bool present, const std::string& text) {
    return present ? Value::Text(text) : Value::Null();
  };
  Columns columns;
  columns.reserve(16);
  columns.emplace_back("AccountKey", Value::Integer(row.account_key));
  columns.emplace_back("RespMsg", Value::Text(row.message));
  columns.emplace_back("PayBatchkey", row.approved ? Value::Integer(row.batch_key) : Value::Null());
  columns.emplace_back("Approved", Value::Boolean(row.approved));
  columns.emplace_back("PayTransKey", Value::Integer(row.approved ? row.trans_key : -1));
  columns.emplace_back("TransAmount", Value::Currency(row.amount));
  columns.emplace_back("TransDate", Value::Date(row.when));
  columns.emplace_back("TransTime", Value::Time(time_of_day));
  columns.emplace_back("Response", Value::Text(row.response));
  columns.emplace_back("PNRef", form_post ? Value::Integer(row.pn_ref) : Value::Null());
  columns.emplace_back("TransactionID", text_if(!form_post, row.transaction_id));
  columns.emplace_back("Token", text_if(!form_post, row.token));
  columns.emplace_back("TransType", text_if(!form_post, row.request_kind));
  columns.emplace_back("CCNumLast4",
                       text_if(!form_post && row.approved, MaskCardNumber(row.card_number)));
  columns.emplace_back("merchantId", Value::Integer(row.merchant_id));
  return columns;
}

void BindAll(Query& statement, const Columns& columns) {
  for (const auto& [name, value] : columns) statement.SetParam(name, value);
}

}  // namespace

int32_t NewCardLogKey(Store& store, Platform& platform) {
  return GetNextKey(store, platform, "ccTransactions", "ccTransKey");
}

void InsertCardLogRow(Store& store, const CardLogRow& row) {
  Columns columns = RowColumns(row);
  columns.emplace(columns.begin(), "CCTransKey", Value::Integer(row.cc_trans_key));
  std::string names;
  std::string values;
  for (const auto& [name, value] : columns) {
    if (!names.empty()) {
      names += ", ";
      values += ", ";
    }
    names += QuoteIdentifier(name);
    values += std::string(":") + name;
  }
  Query insert(store, "UserData",
               R"(insert into "ccTransactions" ()" + names + ") values(" + values + ")");
  BindAll(insert, columns);
  insert.ExecSql();
}

bool UpdateCardLogRow(Store& store, const CardLogRow& row) {
  if (!CardLogRowExists(store, row.cc_trans_key)) return false;
  const Columns columns = RowColumns(row);
  std::string assignments;
  for (const auto& [name, value] : columns) {
    if (!assignments.empty()) assignments += ", ";
    assignments += QuoteIdentifier(name) + " = :" + name;
  }
  Query update(
      store, "UserData",
      R"(update "ccTransactions" set )" + assignments + R"( where "CCTransKey" = :CCTransKey)");
  BindAll(update, columns);
  update.SetParam("CCTransKey", Value::Integer(row.cc_trans_key));
  update.ExecSql();
  return true;
}

bool CardLogRowExists(Store& store, int32_t cc_trans_key) {
  Query query(store, "UserData", R"(select 1 from "ccTransactions" where "CCTransKey" = :key)");
  query.SetParam("key", Value::Integer(cc_trans_key));
  query.Open();
  return !query.Eof();
}

void DeleteCardLogRow(Store& store, int32_t cc_trans_key) {
  Query remove(store, "UserData", R"(delete from "ccTransactions" where "CCTransKey" = :key)");
  remove.SetParam("key", Value::Integer(cc_trans_key));
  remove.ExecSql();
}

std::string MaskCardNumber(std::string_view card_number) {
  if (card_number.size() <= 4) return std::string(card_number);
  return std::string(card_number.size() - 4, '*') +
         std::string(card_number.substr(card_number.size() - 4));
}

}  // namespace portavel
