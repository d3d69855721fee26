// A small delivery invoice to price: batch 42, invoice 77 of account 314
// and tank 55, dated 2024-03-15, with the key sequences, the preferences
// and one GL account the engine reads.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "data/data_set.h"
#include "data/store.h"
#include "posting/posting_tables.h"
#include "pricing/pricing_context.h"
#include "support/fake_platform.h"
#include "support/temp_store.h"

namespace portavel::testing {

inline constexpr int32_t kBatchKey = 42;
inline constexpr int32_t kInvoiceKey = 77;
inline constexpr int32_t kAccountKey = 314;
inline constexpr int32_t kTankKey = 55;
inline constexpr const char* kDefGlAccountCode = "4010-00";

using Fields = std::initializer_list<std::pair<const char*, Value>>;
// A line's tax links as LinksOf reads them.
using Links = std::vector<std::vector<int64_t>>;

DateTime Day(int year, int month, int day);
Money Amount(std::string_view text);

// Appends a row: `defaults` first, then `fields` over them.
void InsertRow(Store& store, const std::string& alias, const std::string& table,
               const std::vector<std::pair<const char*, Value>>& defaults, Fields fields);

// One process's view of the store: the web module's preferences and
// posting tables over its own connection.
struct PricingSession {
  explicit PricingSession(Store& session_store);
  // Stands the batch and invoice tables on the batch and invoice.
  void Open(int32_t batch_key = kBatchKey, int32_t invoice_key = kInvoiceKey);

  Store& store;
  FakePlatform platform;
  DataSet prefs;
  PostingTables tables;
  PricingContext context;
};

// What the tests look at of a line.
struct LineRow {
  int32_t trans_key = 0;
  int64_t trans_type = 0;
  std::string product_id;
  std::string product_name;
  Money trans_total;
  Money tran_price;
  Money quantity;
  Money pkgs;
  int64_t trans_pos = 0;
  int64_t gl_type = 0;
  std::string gl_sales;
  int64_t parent_child = 0;
  int64_t transaction_key = 0;
  int64_t product_group = 0;
};

class PricingTest : public ::testing::Test {
 protected:
  // Batch 42 of `batch_type` and its invoice 77; the session stands on them.
  void AddInvoice(int64_t batch_type, Fields invoice_fields = {}, Fields batch_fields = {});
  void SetPref(const char* name, Value value);

  // A line of invoice 77 under the next test key (from 1000): a propane
  // line of the delivery unless `fields` say otherwise.
  int32_t AddLine(Fields fields);
  // A tax or fee under its own key, levied on the amount at 8% unless
  // `fields` say otherwise; it stands on invoices as product 600 + key.
  void AddTax(int32_t key, Fields fields);
  // A row of a product's (or product type's) tax list.
  void ListTaxForProduct(int32_t product_key, int32_t tax_key, int64_t charge_tax);
  // A row of account 314's tax list.
  void ListTaxForAccount(int32_t tax_key, int64_t charge_tax);
  // A tax levied on another tax: `fee_key` on `taxed_key`.
  void LevyTaxOnTax(int32_t taxed_key, int32_t fee_key);
  // A tax link of a line.
  void Link(int32_t trans_key, int32_t tax_key, int64_t charge_tax);

  std::vector<LineRow> Lines(int32_t invoice_key = kInvoiceKey);
  std::vector<LineRow> LinesOfType(int64_t trans_type, int32_t invoice_key = kInvoiceKey);
  // TaxKey, ChargeTax and Taxable of a line's links, in key order.
  Links LinksOf(int32_t trans_key);
  // A field of an invoice.
  Value InvoiceField(const char* name, int32_t invoice_key = kInvoiceKey);

  // The key sequences, the preferences and the GL account, in the store
  // before the session opens the preferences.
  bool Seed();

  TempStore temp;
  Store& store = temp.store();
  const bool seeded_ = Seed();
  int32_t next_line_key_ = 1000;
  PricingSession session{store};
  PricingContext& context = session.context;
};

}  // namespace portavel::testing
