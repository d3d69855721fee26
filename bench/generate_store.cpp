// Fills a fresh store with a dealer's worth of made-up customers for the
// request benchmark: preferences, company, key rows, accounts with web
// passwords, tanks and delivery invoices (headers without lines), plus
// the account "BENCH" (20 tanks, 300 invoices) whose page the benchmark
// asks for, so that its page is the same size in a small store and a
// large one. Optionally a history of earlier web payments, as the portal
// leaves them, so that a store can be as old as a dealer's.
//
//   generate_store --config FILE --accounts N --invoices M [--tanks-per-account K]
//                  [--web-payments P] [--replace]
//
// The deliveries are priced from the store's own catalog rows (one fuel
// product and the sales tax on it) by the pricing functions the portal
// posts with. For speed the rows are written directly, so once the
// catalog is in and before the bulk rows the generator records one sample
// delivery through the portal's own delivery recording (what a truck's
// "/rd" request runs) and compares the invoice it leaves with what the
// bulk writer's row builder makes of the same delivery. A field that
// differs stops the run with both values: a benchmark store must look
// like one the portal posted. The sample is rolled back.
//
// Rows go in through one transaction and one prepared INSERT per table,
// bound by position, as the admin tool's loader writes them: a hundred
// thousand accounts and two million invoices take seconds.
#include <algorithm>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <optional>
#include <random>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "account/account_password.h"
#include "admin/key_sequences.h"
#include "config/config.h"
#include "data/data_set.h"
#include "data/query.h"
#include "data/statement.h"
#include "data/store.h"
#include "data/store_transaction.h"
#include "dates/accounting_period.h"
#include "delivery/delivery_recorder.h"
#include "money/money.h"
#include "platform/forwarding_platform.h"
#include "platform/platform.h"
#include "posting/posting_tables.h"
#include "pricing/line_codes.h"
#include "pricing/tax_line_amounts.h"
#include "pricing/tax_table.h"

namespace portavel {
namespace {

namespace fs = std::filesystem;

constexpr const char* kHelp =
    "Usage: generate_store --config FILE --accounts N --invoices M [--tanks-per-account K]\n"
    "                      [--web-payments P] [--replace]\n"
    "\n"
    "Creates the store named by the configuration file's [database] section and fills\n"
    "it with made-up data for benchmarks:\n"
    "  - one RemotePrefs row (card payments on), one Company row, the Keys rows and\n"
    "    a fixed installation identity;\n"
    "  - the product Propane at $2.89 a gallon and a 5% sales tax on it that every\n"
    "    account pays;\n"
    "  - N accounts ACCT000001, ACCT000002, ... with the web password \"pass\" followed\n"
    "    by the account number (ACCT000042: \"pass42\");\n"
    "  - K tanks per account (default 1);\n"
    "  - M invoices spread evenly over the accounts and over the last three years,\n"
    "    priced from that product and tax, in one closed delivery batch a day (their\n"
    "    headers only: no lines);\n"
    "  - the account BENCH (password \"benchpass\") with exactly 20 tanks and 300\n"
    "    invoices, on top of N and M;\n"
    "  - with --web-payments, P earlier approved card payments of the ACCT accounts,\n"
    "    spread over the three years before today, each as the portal leaves it\n"
    "    when the desktop program has not set the batch's merchant: a card batch of\n"
    "    its own, its invoice and payment line, and its card log row.\n"
    "\n"
    "Once the settings, product and tax are in, and before the batches, accounts,\n"
    "tanks and invoices, it records one sample delivery through the portal's own\n"
    "delivery recording (what a truck's /rd request runs) on a made-up account, tank\n"
    "and open batch, compares the invoice it leaves with what this program writes for\n"
    "the same delivery, and rolls it back. A field that differs stops the program\n"
    "with exit code 1, naming the field and both values.\n"
    "\n"
    "Options:\n"
    "  --config FILE             the configuration file (required)\n"
    "  --accounts N              number of ACCT accounts (required, 0 or more)\n"
    "  --invoices M              number of invoices of the ACCT accounts (required)\n"
    "  --tanks-per-account K     tanks of each ACCT account (default 1)\n"
    "  --web-payments P          earlier web payments (default 0; needs an account)\n"
    "  --replace                 delete existing database files first; without it an\n"
    "                            existing file is an error\n"
    "  --help                    this text\n"
    "\n"
    "Progress and the elapsed time go to standard error. Exit codes: 0 done, 1 failed\n"
    "(the sample delivery differs, or the store could not be written), 2 bad usage.\n";

constexpr const char* kBenchAccountId = "BENCH";
constexpr const char* kBenchPassword = "benchpass";
constexpr int kBenchTanks = 20;
constexpr int kBenchInvoices = 300;
constexpr int kInvoiceDays = 3 * 365;
constexpr int kUnpaidInvoicesPerAccount = 2;
constexpr int kDaysToPay = 30;
constexpr int kDeliveryBatchType = 4;
constexpr const char* kBankAccount = "1";
// Web payments: the card batch type, the merchant of the preferences row
// (a form-post gateway), and the first "CC n" invoice number.
constexpr int kCardBatchType = 2;
constexpr int64_t kCardMerchantId = 1;
constexpr int64_t kFirstCardInvoiceNumber = 1001;
// The catalog the deliveries are priced from.
constexpr int kFuelProductKey = 1;
constexpr int kTaxProductKey = 2;
constexpr int kSalesTaxKey = 1;
constexpr const char* kFuelPrice = "2.8900";
constexpr const char* kSalesTaxRate = "5.0000";
// A fixed identity, so that a reused store is the same installation.
constexpr unsigned char kInstallationId[16] = {0x5B, 0x0E, 0x4C, 0x21, 0x9A, 0x3D, 0x47, 0x11,
                                               0x8E, 0x62, 0xC4, 0x0B, 0x17, 0xD9, 0x2F, 0x60};

class UsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct Options {
  std::string config_path;
  int64_t accounts = -1;
  int64_t invoices = -1;
  int64_t tanks_per_account = 1;
  int64_t web_payments = 0;
  bool replace = false;
  bool help = false;
};

int64_t ParseCount(std::string_view option, std::string_view text, int64_t limit) {
  int64_t value = 0;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || value < 0 || value > limit) {
    throw UsageError(std::string(option) + ": expected a whole number from 0 to " +
                     std::to_string(limit) + ", got '" + std::string(text) + "'");
  }
  return value;
}

// Accepts "--name value" and "--name=value".
Options ParseOptions(int argc, char** argv) {
  // Keys, indexes and AccountIndex are 32-bit in the store.
  constexpr int64_t kMaxRows = 100'000'000;
  Options options;
  for (int i = 1; i < argc; ++i) {
    std::string_view arg = argv[i];
    std::string_view name = arg;
    std::optional<std::string_view> inline_value;
    if (size_t eq = arg.find('='); arg.starts_with("--") && eq != std::string_view::npos) {
      name = arg.substr(0, eq);
      inline_value = arg.substr(eq + 1);
    }
    auto value = [&]() -> std::string_view {
      if (inline_value) return *inline_value;
      if (i + 1 >= argc) throw UsageError(std::string(name) + ": missing value");
      return argv[++i];
    };
    if (name == "--help" || name == "-h") {
      options.help = true;
    } else if (name == "--replace") {
      options.replace = true;
    } else if (name == "--config") {
      options.config_path = value();
    } else if (name == "--accounts") {
      options.accounts = ParseCount(name, value(), kMaxRows);
    } else if (name == "--invoices") {
      options.invoices = ParseCount(name, value(), kMaxRows);
    } else if (name == "--tanks-per-account") {
      options.tanks_per_account = ParseCount(name, value(), 1000);
    } else if (name == "--web-payments") {
      options.web_payments = ParseCount(name, value(), kMaxRows);
    } else {
      throw UsageError("unknown option '" + std::string(arg) + "'");
    }
  }
  if (options.help) return options;
  if (options.config_path.empty()) throw UsageError("--config FILE is required");
  if (options.accounts < 0) throw UsageError("--accounts N is required");
  if (options.invoices < 0) throw UsageError("--invoices M is required");
  if (options.accounts == 0 && options.invoices > 0) {
    throw UsageError("--invoices needs at least one account");
  }
  if (options.accounts == 0 && options.web_payments > 0) {
    throw UsageError("--web-payments needs at least one account");
  }
  if (options.accounts * options.tanks_per_account > kMaxRows) {
    throw UsageError("--accounts times --tanks-per-account must not exceed " +
                     std::to_string(kMaxRows));
  }
  return options;
}

// A fresh store must not quietly reuse or extend an old one.
void ClearOldFiles(const StorePaths& paths, bool replace) {
  for (const std::string& path : {paths.userdata, paths.localdata}) {
    fs::path folder = fs::absolute(path).parent_path();
    if (!fs::is_directory(folder)) {
      throw std::runtime_error("the folder " + folder.string() + " of " + path + " does not exist");
    }
    for (const char* suffix : {"", "-wal", "-shm", "-journal"}) {
      fs::path file = path + suffix;
      if (!fs::exists(file)) continue;
      if (!replace) {
        throw std::runtime_error(file.string() +
                                 " exists; give --replace to delete it and start afresh");
      }
      fs::remove(file);
    }
  }
}

// Large tables report every tenth of the way, but no more often than this.
constexpr int64_t kProgressRows = 50000;

class Stopwatch {
 public:
  double Seconds() const {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
  }

 private:
  std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
};

// One table's rows through one prepared INSERT of every catalog field,
// bound by position. Callers look field positions up once, before the
// loop: a search by name per value would cost more than the insert.
class BulkInserter {
 public:
  BulkInserter(Store& store, std::string_view table_name, const Stopwatch& clock,
               int64_t expected_rows, std::string_view alias = "UserData")
      : def_(store.Definition(alias, table_name)),
        values_(def_.fields.size()),
        clock_(clock),
        report_every_(std::max<int64_t>(expected_rows / 10, kProgressRows)),
        expected_rows_(expected_rows) {
    std::string columns;
    std::string marks;
    for (const FieldDef& field : def_.fields) {
      columns += (columns.empty() ? "" : ", ") + QuoteIdentifier(field.name);
      marks += marks.empty() ? "?" : ", ?";
    }
    insert_ = std::make_unique<Statement>(
        store.Connection(def_.alias),
        "INSERT INTO " + QuoteIdentifier(def_.name) + " (" + columns + ") VALUES (" + marks + ")");
  }

  int Position(std::string_view field_name) const {
    const FieldDef* field = def_.FindField(field_name);
    if (!field) throw std::logic_error(def_.name + " has no field " + std::string(field_name));
    return static_cast<int>(field - def_.fields.data());
  }

  // Converted as a field of the store converts it (cut to size, padded).
  void Set(int position, const Value& value) {
    values_[position] = ConvertForField(def_.fields[position], value);
  }

  // Writes the row and clears the values for the next one.
  void Write() {
    insert_->Reset();
    for (size_t i = 0; i < values_.size(); ++i) {
      insert_->Bind(static_cast<int>(i + 1), values_[i]);
      values_[i] = Value::Null();
    }
    insert_->Step();
    if (++rows_ % report_every_ == 0 && rows_ < expected_rows_) {
      std::fprintf(stderr, "  %s: %lld of %lld rows (%.1f s)\n", def_.name.c_str(),
                   static_cast<long long>(rows_), static_cast<long long>(expected_rows_),
                   clock_.Seconds());
    }
  }

  void Finish() const {
    std::fprintf(stderr, "  %s: %lld rows (%.1f s)\n", def_.name.c_str(),
                 static_cast<long long>(rows_), clock_.Seconds());
  }

  int64_t rows() const { return rows_; }

 private:
  const TableDef& def_;
  std::vector<Value> values_;
  std::unique_ptr<Statement> insert_;
  const Stopwatch& clock_;
  int64_t report_every_;
  int64_t expected_rows_;
  int64_t rows_ = 0;
};

Value Text(std::string text) {
  return Value::Text(std::move(text));
}
Value Amount(Money amount) {
  return Value::Currency(amount);
}
Value Amount(const char* text) {
  return Value::Currency(*Money::Parse(text));
}

std::string Numbered(const char* prefix, int64_t number, int width) {
  char digits[32];
  std::snprintf(digits, sizeof digits, "%0*lld", width, static_cast<long long>(number));
  return prefix + std::string(digits);
}

template <size_t N>
const char* Pick(const char* const (&choices)[N], uint64_t n) {
  return choices[n % N];
}

constexpr const char* kFirstNames[] = {"Robert", "Maria", "James",  "Linda", "David",
                                       "Susan",  "John",  "Eileen", "Anh",   "Carlos"};
constexpr const char* kLastNames[] = {"Smith",  "Garcia", "Thompson", "Brooks", "Nguyen",
                                      "Miller", "Davis",  "Wilson",   "Moore",  "Clark"};
constexpr const char* kStreets[] = {"Maple Avenue",  "Old Mill Road",   "Cedar Court",
                                    "Harbor Street", "Ridgeview Drive", "Pine Lane"};
constexpr int kTankSizes[] = {120, 250, 500, 1000};

// What the generator has made so far, for the key rows.
struct Totals {
  int64_t accounts = 0;
  int64_t tanks = 0;
  int64_t invoices = 0;
  int64_t lines = 0;  // invoice lines, keyed from 1
  int64_t web_payments = 0;
};

struct DeliveryPricing {
  Money price;  // of the fuel product
  TaxRow tax;   // the sales tax on it
};

// The line type of a product sold in a delivery batch.
constexpr int64_t kDeliveryLineType = 4;

struct DeliveryAmounts {
  Money subtotal;
  Money tax;
  Money total;
};

// One line of `gallons` of the fuel product at its list price and the
// sales tax on the line's amount, rounded as the endpoints round them.
DeliveryAmounts PriceDelivery(const DeliveryPricing& pricing, Money gallons, DateTime date) {
  const Money subtotal = RoundToDecimals(2, MultiplyRoundedPair(gallons, pricing.price));
  const Money tax =
      TaxLineAmountsFor(*pricing.tax.base(), subtotal, pricing.tax.RateOn(date)).trans_total;
  return {subtotal, tax, subtotal + tax};
}

// Who writes a field of a delivery invoice: the office, on the ticket it
// makes before the truck goes out, or the portal when the truck records
// the delivery (what the truck sends and what pricing derives from it).
enum class WrittenBy { kOffice, kRecording };

// One delivery of fuel to a customer.
struct Delivery {
  int64_t invoice_key = 0;
  int64_t account_index = 0;
  std::string_view account_id;
  int64_t tank_index = 0;  // 0: none
  int64_t batch_key = 0;
  DateTime date;
  Money gallons;
  int64_t driver = 0;
  // Paid in full later on, which recording the delivery knows nothing of.
  bool paid = false;
};

std::string InvoiceNumber(int64_t invoice_key) {
  return Numbered("", invoice_key, 8);
}

// The invoice of one delivery: `field` is called for each of its fields
// as (field name, WrittenBy, value), with the value the bulk writer
// stores and recording the delivery through the portal must leave. Every
// field every time and always in the same order: the bulk writer binds
// them by position.
template <typename InvoiceField>
void BuildDeliveryInvoice(const Delivery& d, const DeliveryPricing& pricing, InvoiceField&& field) {
  constexpr WrittenBy kOffice = WrittenBy::kOffice;
  constexpr WrittenBy kRecording = WrittenBy::kRecording;
  const DeliveryAmounts amounts = PriceDelivery(pricing, d.gallons, d.date);
  const Money payments = d.paid ? amounts.total : Money();
  const Money discount;
  field("InvoiceKey", kOffice, Value::Integer(d.invoice_key));
  field("Accountkey", kOffice, Value::Integer(d.account_index));
  field("AccountID", kOffice, Text(std::string(d.account_id)));
  field("InvoiceNo", kOffice, Text(InvoiceNumber(d.invoice_key)));
  field("InvDate", kOffice, Value::Date(d.date));
  field("DueDate", kOffice, Value::Date(d.date.AddDays(kDaysToPay)));
  field("BatchKey", kOffice, Value::Integer(d.batch_key));
  field("BatchType", kOffice, Value::Integer(kDeliveryBatchType));
  field("TankKey", kOffice, d.tank_index > 0 ? Value::Integer(d.tank_index) : Value::Null());
  field("InvType", kOffice, Text("Propane Delivery"));
  field("Employee", kOffice, Text("Driver " + std::to_string(d.driver)));
  field("Printed", kOffice, Value::Boolean(true));
  // The header as the totals recomputation writes it for a delivery
  // batch: InvTotal = Subtotal + Taxtotal, the balance what payments and
  // discounts leave of it; debits and credits are only summed for journal
  // batches.
  field("Gallons", kRecording, Amount(d.gallons));
  field("TotalQuantity", kRecording, Amount(d.gallons));
  field("Subtotal", kRecording, Amount(amounts.subtotal));
  field("Taxtotal", kRecording, Amount(amounts.tax));
  field("InvTotal", kRecording, Amount(amounts.total));
  field("TotalDebits", kRecording, Amount(Money()));
  field("TotalCredits", kRecording, Amount(Money()));
  field("PaymentTotal", kRecording, Amount(payments));
  field("DiscountAmount", kRecording, Amount(discount));
  field("FeeTotal", kRecording, Amount(Money()));
  field("InvoiceBalance", kRecording, Amount(amounts.total - (payments + discount)));
}

// Writes delivery invoices through a bulk inserter, binding each field
// BuildDeliveryInvoice gives at the position its name has, looked up once.
class DeliveryWriter {
 public:
  DeliveryWriter(BulkInserter& invoices, const DeliveryPricing& pricing)
      : invoices_(invoices), pricing_(pricing) {
    BuildDeliveryInvoice(Delivery{}, pricing_, [this](const char* name, WrittenBy, const Value&) {
      columns_.push_back(invoices_.Position(name));
    });
  }

  void Write(const Delivery& delivery) {
    size_t column = 0;
    BuildDeliveryInvoice(delivery, pricing_,
                         [this, &column](const char*, WrittenBy, const Value& value) {
                           invoices_.Set(columns_[column++], value);
                         });
    invoices_.Write();
  }

 private:
  BulkInserter& invoices_;
  const DeliveryPricing& pricing_;
  std::vector<int> columns_;
};

// What the truck sends to record `d` on the line `trans_key`: the "/rd"
// request's fields as values.
DeliveryValues TruckReport(const Delivery& d, int64_t trans_key, const DeliveryPricing& pricing) {
  DeliveryValues report;
  report.account = static_cast<int32_t>(d.account_index);
  report.tank = d.tank_index > 0 ? static_cast<int32_t>(d.tank_index) : -1;
  report.batch = static_cast<int32_t>(d.batch_key);
  report.invoice = static_cast<int32_t>(d.invoice_key);
  report.trans = static_cast<int32_t>(trans_key);
  report.product = kFuelProductKey;
  report.pkgs = d.gallons;
  report.price = pricing.price;
  report.end_percent = 80;  // the tank's level after the fill
  report.invoice_no = InvoiceNumber(d.invoice_key);
  report.invoice_date = d.date;
  return report;
}

// The product line of the office's ticket for `d`: the product, the
// quantity and its amount, which the delivery's recording leaves to the
// office and sums the invoice from.
void WriteTicketLine(BulkInserter& t, const Delivery& d, int64_t trans_key,
                     const DeliveryPricing& pricing) {
  auto set = [&t](const char* name, const Value& value) { t.Set(t.Position(name), value); };
  set("TransKey", Value::Integer(trans_key));
  set("Invoicekey", Value::Integer(d.invoice_key));
  set("BatchKey", Value::Integer(d.batch_key));
  set("Accountkey", Value::Integer(d.account_index));
  set("AccountID", Text(std::string(d.account_id)));
  if (d.tank_index > 0) set("TankIndex", Value::Integer(d.tank_index));
  set("InvoiceNo", Text(InvoiceNumber(d.invoice_key)));
  set("InvDate", Value::Date(d.date));
  set("Period", Text(PeriodOf(d.date)));
  set("TransType", Value::Integer(kDeliveryLineType));
  set("GLType", Value::Integer(1));
  set("ProductKey", Value::Integer(kFuelProductKey));
  set("Quantity", Amount(d.gallons));
  set("TranPrice", Amount(pricing.price));
  set("TransTotal", Amount(PriceDelivery(pricing, d.gallons, d.date).subtotal));
  t.Write();
}

// Writes the fields of BuildDeliveryInvoice that the office writes: the
// invoice of the sample delivery's ticket.
auto OfficeFields(BulkInserter& table) {
  return [&table](const char* name, WrittenBy by, const Value& value) {
    if (by == WrittenBy::kOffice) table.Set(table.Position(name), value);
  };
}

std::string Shown(const Value& value) {
  return value.IsNull() ? "null" : "\"" + value.AsString() + "\"";
}

// Compares each field BuildDeliveryInvoice gives with `stored`'s current
// row, as the store holds the value; throws naming the first that differs.
auto ExpectStored(DataSet& stored) {
  return [&stored](const char* name, WrittenBy, const Value& expected) {
    const Field& field = stored.FieldByName(name);
    const Value generated = ConvertForField(field.def(), expected);
    if (field.value() == generated) return;
    throw std::runtime_error("the sample delivery differs in " + stored.table_name() + "." + name +
                             ": the portal's delivery recording wrote " + Shown(field.value()) +
                             ", this program writes " + Shown(generated));
  };
}

// The platform the sample delivery is recorded under: the system's, with
// the clock held at the moment the generator started, from which all of
// its dates count.
class FixedClock : public ForwardingPlatform {
 public:
  FixedClock(Platform& platform, DateTime now) : ForwardingPlatform(platform), now_(now) {}
  DateTime Now() override { return now_; }

 private:
  DateTime now_;
};

class StoreFiller {
 public:
  // `platform`'s clock stands still; the dates count back from its day.
  StoreFiller(Store& store, const Options& options, Platform& platform, const Stopwatch& clock)
      : store_(store),
        options_(options),
        platform_(platform),
        today_(platform.Now().DateOnly()),
        clock_(clock) {}

  Totals Fill() {
    WriteSettings();
    WriteCatalog();
    pricing_ = LoadPricing(store_);
    CheckSampleDelivery();
    WriteBatches();
    const int64_t all_accounts = options_.accounts + 1;
    const int64_t all_tanks = options_.accounts * options_.tanks_per_account + kBenchTanks;
    const int64_t all_invoices = options_.invoices + kBenchInvoices;
    {
      BulkInserter accounts(store_, "Accounts", clock_, all_accounts);
      AccountColumns columns(accounts);
      BulkInserter tax_list(store_, "TaxLkUp", clock_, all_accounts);
      AccountTaxColumns tax_columns(tax_list);
      for (int64_t i = 1; i <= options_.accounts; ++i) {
        WriteAccount(accounts, columns, i, Numbered("ACCT", i, 6), "pass" + std::to_string(i),
                     Draw());
        WriteAccountTax(tax_list, tax_columns, ++tax_links_, i);
      }
      WriteAccount(accounts, columns, all_accounts, kBenchAccountId, kBenchPassword, Draw());
      WriteAccountTax(tax_list, tax_columns, ++tax_links_, all_accounts);
      accounts.Finish();
      tax_list.Finish();
    }
    {
      BulkInserter tanks(store_, "Tanks", clock_, all_tanks);
      TankColumns columns(tanks);
      for (int64_t i = 1; i <= options_.accounts; ++i) {
        for (int64_t t = 0; t < options_.tanks_per_account; ++t) {
          WriteTank(tanks, columns, ++totals_.tanks, Numbered("ACCT", i, 6), Draw());
        }
      }
      for (int t = 0; t < kBenchTanks; ++t) {
        WriteTank(tanks, columns, ++totals_.tanks, kBenchAccountId, Draw());
      }
      tanks.Finish();
    }
    {
      BulkInserter invoices(store_, "Invoices", clock_, all_invoices);
      DeliveryWriter writer(invoices, pricing_);
      for (int64_t i = 1; i <= options_.accounts; ++i) {
        // An even share, the remainder going one each to the first accounts.
        const int64_t count = options_.invoices / options_.accounts +
                              (i <= options_.invoices % options_.accounts ? 1 : 0);
        const int64_t first_tank =
            options_.tanks_per_account ? (i - 1) * options_.tanks_per_account + 1 : 0;
        WriteInvoices(writer, i, Numbered("ACCT", i, 6), first_tank, count);
      }
      WriteInvoices(writer, all_accounts, kBenchAccountId,
                    options_.accounts * options_.tanks_per_account + 1, kBenchInvoices);
      invoices.Finish();
    }
    if (options_.web_payments > 0) WriteWebPayments(options_.web_payments);
    totals_.accounts = all_accounts;
    WriteKeys(totals_);
    return totals_;
  }

 private:
  struct AccountColumns {
    explicit AccountColumns(const BulkInserter& t)
        : index(t.Position("AccountIndex")),
          id(t.Position("AccountID")),
          terms(t.Position("Termskey")),
          first_name(t.Position("BillToFname")),
          last_name(t.Position("BillToLname")),
          street_no(t.Position("StreetNo")),
          street(t.Position("StreetName")),
          city(t.Position("City")),
          state(t.Position("State")),
          zip(t.Position("Zip")),
          phone(t.Position("Phone")),
          email(t.Position("Email")),
          use_budget(t.Position("UseBudget")),
          password(t.Position("WALPW")),
          merchant(t.Position("MerchantID")),
          active(t.Position("Active")),
          opened(t.Position("AccountOpened")) {}
    int index, id, terms, first_name, last_name, street_no, street, city, state, zip, phone, email,
        use_budget, password, merchant, active, opened;
  };

  // An account's tax list: a tax stays on a delivered line only when the
  // customer's list names it too.
  struct AccountTaxColumns {
    explicit AccountTaxColumns(const BulkInserter& t)
        : key(t.Position("TaxLkUpKey")),
          name(t.Position("TaxName")),
          charge(t.Position("ChargeTax")),
          tax(t.Position("TaxKey")),
          account(t.Position("AccountKey")) {}
    int key, name, charge, tax, account;
  };

  struct TankColumns {
    explicit TankColumns(const BulkInserter& t)
        : index(t.Position("Tankindex")),
          serial_no(t.Position("SerialNo")),
          serial_prefix(t.Position("SerialPrefix")),
          account_id(t.Position("AccountID")),
          equipment(t.Position("EquipmentType")),
          units(t.Position("LbsorGals")),
          status(t.Position("DeliveryStatus")),
          street_no(t.Position("DeliveryStreetNo")),
          street(t.Position("DeliveryStreetName")),
          city(t.Position("DeliveryCity")),
          state(t.Position("DeliveryState")),
          zip(t.Position("DeliveryZip")),
          size(t.Position("Size")),
          manufacturer(t.Position("Manufacturer")),
          owned_by(t.Position("Ownedby")),
          delivery_type(t.Position("DeliveryType")),
          fuel(t.Position("FuelinTank")),
          route_active(t.Position("RteActive")),
          description(t.Position("EquipDesc")),
          purchased(t.Position("DateofPurchase")) {}
    int index, serial_no, serial_prefix, account_id, equipment, units, status, street_no, street,
        city, state, zip, size, manufacturer, owned_by, delivery_type, fuel, route_active,
        description, purchased;
  };

  struct BatchColumns {
    explicit BatchColumns(const BulkInserter& t)
        : key(t.Position("BatchKey")),
          number(t.Position("BatchNo")),
          type(t.Position("BatchType")),
          invoice_type(t.Position("DefInvType")),
          bank(t.Position("BankKey")),
          closed(t.Position("Closed")),
          period(t.Position("Period")),
          date(t.Position("Date")),
          invoice_date(t.Position("DefaultInvDate")) {}
    int key, number, type, invoice_type, bank, closed, period, date, invoice_date;
  };

  uint64_t Draw() { return random_(); }

  void WriteSettings() {
    BulkInserter prefs(store_, "RemotePrefs", clock_, 1);
    prefs.Set(prefs.Position("RemotePrefsKey"), Value::Integer(1));
    prefs.Set(prefs.Position("MerchantID"), Value::Integer(1));
    prefs.Set(prefs.Position("UseCC"), Value::Boolean(true));
    // A card payment posts into this bank account, and the preferences
    // object the gateway clients read refuses a row without one.
    prefs.Set(prefs.Position("DefaultBankAccount"), Text(kBankAccount));
    prefs.Set(prefs.Position("NextCCNo"),
              Value::Integer(kFirstCardInvoiceNumber + options_.web_payments));
    prefs.Set(prefs.Position("Over1"), Value::Integer(30));
    prefs.Set(prefs.Position("Over2"), Value::Integer(60));
    prefs.Set(prefs.Position("Over3"), Value::Integer(90));
    prefs.Write();

    BulkInserter company(store_, "Company", clock_, 1);
    company.Set(company.Position("CompanyName"), Text("Benchmark Propane & Oil"));
    company.Set(company.Position("Phone"), Text("(541) 555-0100"));
    company.Set(company.Position("WebsiteAddress"), Text("www.example.com"));
    company.Write();

    BulkInserter identity(store_, "scid", clock_, 1);
    identity.Set(identity.Position("Data"),
                 Value::Bytes(std::string(std::begin(kInstallationId), std::end(kInstallationId))));
    identity.Write();
  }

  // One fuel product at a list price, the product that stands for the
  // sales tax on invoices, the tax itself (levied on the lines' amounts)
  // and the product's tax list.
  void WriteCatalog() {
    BulkInserter products(store_, "Products", clock_, 2);
    const int key = products.Position("ProductKey");
    const int name = products.Position("ProductName");
    const int id = products.Position("ProductID");
    const int unit = products.Position("Unitofmeasure");
    const int group = products.Position("ProductGroupID");
    const int type_key = products.Position("ProductTypekey");
    const int type_id = products.Position("ProductTypeID");
    const int price = products.Position("Price");
    const int service = products.Position("Service");
    const int pos = products.Position("POS");
    products.Set(key, Value::Integer(kFuelProductKey));
    products.Set(name, Text("Propane"));
    products.Set(id, Text("LP"));
    products.Set(unit, Text("Gal"));
    products.Set(group, Value::Integer(kFuelProductGroup));
    products.Set(type_key, Value::Integer(1));
    products.Set(type_id, Text("LP"));
    products.Set(price, Amount(kFuelPrice));
    products.Set(service, Value::Integer(0));
    products.Set(pos, Value::Integer(0));
    products.Set(products.Position("GLInventory"), Text("1400"));
    products.Set(products.Position("GLSales"), Text("4000"));
    products.Set(products.Position("GLCGS"), Text("5000"));
    products.Write();
    products.Set(key, Value::Integer(kTaxProductKey));
    products.Set(name, Text("Sales Tax"));
    products.Set(id, Text("TAX"));
    products.Set(group, Value::Integer(kTaxProductGroup));
    products.Set(type_key, Value::Integer(2));
    products.Set(type_id, Text("TAX"));
    products.Set(price, Amount(Money()));
    products.Set(service, Value::Integer(1));
    products.Set(pos, Value::Integer(0));
    products.Write();

    BulkInserter taxes(store_, "Taxes", clock_, 1, "LocalData");
    taxes.Set(taxes.Position("Taxkey"), Value::Integer(kSalesTaxKey));
    taxes.Set(taxes.Position("TaxName"), Text("Sales Tax"));
    taxes.Set(taxes.Position("TaxRate"), Amount(kSalesTaxRate));
    taxes.Set(taxes.Position("CalconSubTotal"),
              Value::Integer(static_cast<int64_t>(TaxBase::kAmount)));
    taxes.Set(taxes.Position("ChargeTax"), Value::Integer(1));
    taxes.Set(taxes.Position("Deleted"), Value::Integer(0));
    taxes.Set(taxes.Position("ProductKey"), Value::Integer(kTaxProductKey));
    taxes.Set(taxes.Position("GLLiability"), Text("2200"));
    taxes.Set(taxes.Position("TaxType"), Value::Integer(0));
    taxes.Write();

    BulkInserter tax_list(store_, "TaxLkUp", clock_, 1);
    tax_list.Set(tax_list.Position("TaxLkUpKey"), Value::Integer(++tax_links_));
    tax_list.Set(tax_list.Position("TaxName"), Text("Sales Tax"));
    tax_list.Set(tax_list.Position("ChargeTax"), Value::Integer(1));
    tax_list.Set(tax_list.Position("TaxKey"), Value::Integer(kSalesTaxKey));
    tax_list.Set(tax_list.Position("ProductKey"), Value::Integer(kFuelProductKey));
    tax_list.Write();
    BulkInserter taxed(store_, "PCTLkUp", clock_, 1);
    taxed.Set(taxed.Position("PCTLkUpKey"), Value::Integer(1));
    taxed.Set(taxed.Position("ProductKey"), Value::Integer(kFuelProductKey));
    taxed.Write();
  }

  // What the deliveries are priced from, read back from the store rather
  // than taken from the constants above, as the pricing engine reads it.
  static DeliveryPricing LoadPricing(Store& store) {
    Query product(store, "UserData", "select Price from Products where ProductKey = :ProductKey");
    product.SetParam("ProductKey", Value::Integer(kFuelProductKey));
    product.Open();
    if (product.Eof()) throw std::logic_error("the fuel product was not written");
    const TaxTable taxes = TaxTable::Load(store);
    const TaxRow* tax = taxes.Find(kSalesTaxKey);
    if (!tax || !tax->base()) throw std::logic_error("the sales tax was not written");
    return {product.FieldByName("Price").AsMoney(), *tax};
  }

  // Records one delivery through the portal's delivery recording, as a
  // truck's "/rd" request does, and checks that it leaves the invoice as
  // BuildDeliveryInvoice has the bulk writer write it; throws naming the
  // first field that differs. It runs before the bulk rows, so that a
  // difference costs a moment rather than the whole load, on an account,
  // tank and open batch of its own, all rolled back at the end.
  void CheckSampleDelivery() {
    const StoreTransaction rolled_back(store_, "UserData");  // never committed
    const std::string account_id = Numbered("ACCT", 1, 6);
    Delivery sample;
    sample.invoice_key = 1;
    sample.account_index = 1;
    sample.account_id = account_id;
    sample.tank_index = 1;
    sample.batch_key = BatchKeyOf(0);
    sample.date = today_;
    // Both the amount (434.945) and its tax (21.7475) end in a half.
    sample.gallons = *Money::Parse("150.5");
    sample.driver = 1;
    constexpr int64_t kLineKey = 1;
    WriteSampleTicket(sample, kLineKey);
    RecordSampleDelivery(sample, kLineKey);
    CompareSampleInvoice(sample);
  }

  // What the store holds before the truck reports: the customer and the
  // customer's tax list, the tank, the day's delivery batch still open,
  // the key rows, and the office's ticket.
  void WriteSampleTicket(const Delivery& d, int64_t line_key) {
    const std::string account_id(d.account_id);
    BulkInserter accounts(store_, "Accounts", clock_, 1);
    WriteAccount(accounts, AccountColumns(accounts), d.account_index, account_id, "pass1", 0);
    BulkInserter tax_list(store_, "TaxLkUp", clock_, 1);
    WriteAccountTax(tax_list, AccountTaxColumns(tax_list), tax_links_ + 1, d.account_index);
    BulkInserter tanks(store_, "Tanks", clock_, 1);
    WriteTank(tanks, TankColumns(tanks), d.tank_index, account_id, 0);
    BulkInserter batches(store_, "Manifest", clock_, 1);
    WriteBatch(batches, BatchColumns(batches), static_cast<int>(d.batch_key), /*closed=*/false);
    WriteKeys(Totals{.accounts = d.account_index,
                     .tanks = d.tank_index,
                     .invoices = d.invoice_key,
                     .lines = line_key});
    BulkInserter invoice(store_, "Invoices", clock_, 1);
    BuildDeliveryInvoice(d, pricing_, OfficeFields(invoice));
    invoice.Write();
    BulkInserter line(store_, "Transactions", clock_, 1);
    WriteTicketLine(line, d, line_key, pricing_);
  }

  // With the module's preferences and posting tables, as the endpoint
  // hands them to the recording.
  void RecordSampleDelivery(const Delivery& d, int64_t line_key) {
    DataSet remote_prefs(store_, "UserData", "RemotePrefs.DB");
    remote_prefs.Open();
    PostingTables tables(store_, platform_, remote_prefs);
    const std::string status =
        RecordDelivery(store_, tables, remote_prefs, TruckReport(d, line_key, pricing_));
    if (status != kRecorded) {
      throw std::runtime_error("the sample delivery was not recorded: " + status);
    }
  }

  void CompareSampleInvoice(const Delivery& d) {
    DataSet invoice(store_, "UserData", "Invoices.DB");
    invoice.SetReadOnly(true);
    invoice.Open();
    if (!invoice.Locate({{"InvoiceKey", Value::Integer(d.invoice_key)}})) {
      throw std::runtime_error("the sample delivery's invoice is gone");
    }
    BuildDeliveryInvoice(d, pricing_, ExpectStored(invoice));
  }

  // One delivery batch of the day `key` stands for. A prepared INSERT
  // rather than the posting tables' data set, for speed; the fields the
  // new-record handler derives (the period, the dates, the bank account)
  // are derived the same way here.
  void WriteBatch(BulkInserter& t, const BatchColumns& c, int key, bool closed) {
    const DateTime day = BatchDay(key);
    t.Set(c.key, Value::Integer(key));
    t.Set(c.number, Value::Integer(key));
    t.Set(c.type, Value::Integer(kDeliveryBatchType));
    t.Set(c.invoice_type, Text("Delivery"));
    t.Set(c.bank, Text(kBankAccount));
    t.Set(c.closed, Value::Integer(closed ? 1 : 0));
    t.Set(c.period, Text(PeriodOf(day)));
    t.Set(c.date, Value::Date(day));
    t.Set(c.invoice_date, Value::Date(day));
    t.Write();
  }

  // One closed delivery batch a day, oldest first, keyed 1 to kInvoiceDays.
  void WriteBatches() {
    BulkInserter t(store_, "Manifest", clock_, kInvoiceDays);
    const BatchColumns columns(t);
    for (int k = 1; k <= kInvoiceDays; ++k) WriteBatch(t, columns, k, /*closed=*/true);
    t.Finish();
  }

  int BatchKeyOf(int days_ago) const { return kInvoiceDays - days_ago; }
  DateTime BatchDay(int batch_key) const { return today_.AddDays(batch_key - kInvoiceDays); }

  void WriteAccountTax(BulkInserter& t, const AccountTaxColumns& c, int64_t key,
                       int64_t account_index) {
    t.Set(c.key, Value::Integer(key));
    t.Set(c.name, Text(pricing_.tax.name));
    t.Set(c.charge, Value::Integer(1));
    t.Set(c.tax, Value::Integer(pricing_.tax.key));
    t.Set(c.account, Value::Integer(account_index));
    t.Write();
  }

  // `n` is the random draw the made-up details come from.
  void WriteAccount(BulkInserter& t, const AccountColumns& c, int64_t index, const std::string& id,
                    const std::string& password, uint64_t n) {
    t.Set(c.index, Value::Integer(index));
    t.Set(c.id, Text(id));
    t.Set(c.terms, Value::Integer(1));
    t.Set(c.first_name, Text(Pick(kFirstNames, n)));
    t.Set(c.last_name, Text(Pick(kLastNames, n >> 8)));
    t.Set(c.street_no, Text(std::to_string(1 + (n >> 16) % 9999)));
    t.Set(c.street, Text(Pick(kStreets, n >> 32)));
    t.Set(c.city, Text("Harbor Valley"));
    t.Set(c.state, Text("OR"));
    t.Set(c.zip, Text("97420"));
    t.Set(c.phone, Text("(541) 555-" + Numbered("", index % 10000, 4)));
    t.Set(c.email, Text(id + "@example.com"));
    t.Set(c.use_budget, Text("No"));
    t.Set(c.password, Value::Bytes(StoredWebPassword(password)));
    t.Set(c.merchant, Value::Integer(1));
    t.Set(c.active, Text("Yes"));
    t.Set(c.opened, Value::Date(today_.AddDays(-kInvoiceDays - static_cast<int>(n % 3650))));
    t.Write();
  }

  // `n` is the random draw the made-up details come from.
  void WriteTank(BulkInserter& t, const TankColumns& c, int64_t index,
                 const std::string& account_id, uint64_t n) {
    const int size = kTankSizes[n % std::size(kTankSizes)];
    t.Set(c.index, Value::Integer(index));
    t.Set(c.serial_no, Value::Integer(100000 + index));
    t.Set(c.serial_prefix, Text("PV-"));
    t.Set(c.account_id, Text(account_id));
    t.Set(c.equipment, Text("Propane tank"));
    t.Set(c.units, Text("Gallons"));
    // Mostly "Normal", now and then "Low on Fuel" or "Request for Fuel".
    t.Set(c.status, Value::Integer((n >> 8) % 10 == 0 ? 3 : (n >> 8) % 10 == 1 ? 6 : 1));
    t.Set(c.street_no, Text(std::to_string(1 + (n >> 16) % 9999)));
    t.Set(c.street, Text(Pick(kStreets, n >> 32)));
    t.Set(c.city, Text("Harbor Valley"));
    t.Set(c.state, Text("OR"));
    t.Set(c.zip, Text("97420"));
    t.Set(c.size, Value::Integer(size));
    t.Set(c.manufacturer, Text("American Welding & Tank"));
    t.Set(c.owned_by, Text("Company"));
    t.Set(c.delivery_type, Text((n >> 40) % 2 ? "Automatic" : "Will Call"));
    t.Set(c.fuel, Value::Integer(static_cast<int64_t>((n >> 44) % 81) + 10));
    t.Set(c.route_active, Value::Boolean(false));
    t.Set(c.description, Text(std::to_string(size) + " gal above ground"));
    t.Set(c.purchased, Value::Date(today_.AddDays(-static_cast<int>((n >> 48) % 7300))));
    t.Write();
  }

  // `count` deliveries on dates spread over the last three years, oldest
  // first; all paid but the last few, so that aging has rows to walk.
  void WriteInvoices(DeliveryWriter& writer, int64_t account_index, const std::string& account_id,
                     int64_t tank_index, int64_t count) {
    days_.clear();
    for (int64_t k = 0; k < count; ++k) days_.push_back(static_cast<int>(Draw() % kInvoiceDays));
    std::sort(days_.begin(), days_.end(), std::greater<>());
    Delivery delivery;
    delivery.account_index = account_index;
    delivery.account_id = account_id;
    delivery.tank_index = tank_index;
    for (int64_t k = 0; k < count; ++k) {
      const uint64_t n = Draw();
      const int days_ago = days_[k];
      delivery.invoice_key = ++totals_.invoices;
      delivery.batch_key = BatchKeyOf(days_ago);
      delivery.date = today_.AddDays(-days_ago);
      // 50.0 to 500.0 gallons.
      delivery.gallons =
          Money::FromUnits((500 + static_cast<int64_t>(n % 4500)) * (Money::kUnitsPerWhole / 10));
      delivery.driver = 1 + static_cast<int64_t>((n >> 32) % 12);
      delivery.paid = count - k > kUnpaidInvoicesPerAccount;
      writer.Write(delivery);
    }
  }

  // `count` approved web payments, oldest first, a few a day over the three
  // years before today (none today), from the ACCT accounts in turn. Each
  // is what a card payment leaves while the batch's merchant is unset (the
  // desktop program sets it when it takes the batch over), so that the
  // next payment does not find the batch and opens one of its own: the
  // batch, with the fields its new-record handler gives it; the invoice
  // and its payment line as the posting writes them and the totals
  // recomputation leaves them; the card log row of the approved charge.
  // Keys follow the bulk rows': batches after the daily ones, invoices
  // after the deliveries, lines and card log rows from 1.
  void WriteWebPayments(int64_t count) {
    BulkInserter batches(store_, "Manifest", clock_, count);
    BulkInserter invoices(store_, "Invoices", clock_, count);
    BulkInserter lines(store_, "Transactions", clock_, count);
    BulkInserter card_log(store_, "ccTransactions", clock_, count);
    auto setter = [](BulkInserter& table) {
      return [&table](const char* name, const Value& value) {
        table.Set(table.Position(name), value);
      };
    };
    auto batch = setter(batches);
    auto invoice = setter(invoices);
    auto line = setter(lines);
    auto card = setter(card_log);
    const Value zero = Amount(Money());
    for (int64_t i = 0; i < count; ++i) {
      const int64_t batch_key = kInvoiceDays + i + 1;
      const int64_t invoice_key = totals_.invoices + i + 1;
      const int64_t line_key = totals_.lines + i + 1;
      const int64_t account_index = 1 + i % options_.accounts;
      const std::string account_id = Numbered("ACCT", account_index, 6);
      const int days_ago = kInvoiceDays - static_cast<int>(i * kInvoiceDays / count);
      const DateTime day = today_.AddDays(-days_ago);
      // Through the day from 08:00, a few seconds apart.
      const DateTime moment(day.day(), (8 * 3600 + static_cast<int32_t>(i % 20000) * 2) * 1000);
      const std::string period = PeriodOf(day);
      // 10.00 to 499.99.
      const Money amount =
          Money::FromUnits((1000 + (i * 3719) % 49000) * (Money::kUnitsPerWhole / 100));
      const std::string invoice_no = "CC " + std::to_string(kFirstCardInvoiceNumber + i);

      batch("BatchKey", Value::Integer(batch_key));
      batch("BatchType", Value::Integer(kCardBatchType));
      batch("DefInvType", Text("Payment"));
      batch("BankKey", Text(kBankAccount));
      batch("Closed", Value::Integer(0));
      batch("Period", Text(period));
      batch("Date", Value::Date(day));
      batch("DefaultInvDate", Value::Date(day));
      batches.Write();

      invoice("InvoiceKey", Value::Integer(invoice_key));
      invoice("BatchType", Value::Integer(kCardBatchType));
      invoice("InvDate", Value::Date(day));
      invoice("BatchKey", Value::Integer(batch_key));
      invoice("InvType", Text("Online Payment"));
      invoice("InvoiceNo", Text(invoice_no));
      invoice("AccountID", Text(account_id));
      invoice("Accountkey", Value::Integer(account_index));
      for (const char* name :
           {"Gallons", "TotalQuantity", "Subtotal", "DiscountAmount", "FeeTotal", "Taxtotal",
            "InvTotal", "TotalDebits", "TotalCredits", "OIBalance"}) {
        invoice(name, zero);
      }
      invoice("PaymentTotal", Amount(amount));
      invoice("InvoiceBalance", Amount(Money() - amount));
      invoice("PayBalance", Amount(amount));
      invoices.Write();

      line("TransKey", Value::Integer(line_key));
      line("Time", Value::DateTimeValue(moment));
      line("Posted", Text("No"));
      line("Period", Text(period));
      line("Invoicekey", Value::Integer(invoice_key));
      line("BatchKey", Value::Integer(batch_key));
      line("InvoiceNo", Text(invoice_no));
      line("InvDate", Value::Date(day));
      line("AccountID", Text(account_id));
      line("Accountkey", Value::Integer(account_index));
      line("TranPrice", zero);
      line("TransTotal", zero);
      line("ProductCost", zero);
      line("WksTillReturn", Value::Integer(0));
      line("GLType", Value::Integer(1));
      line("TransType", Value::Integer(2));
      line("ProductName", Text("Online Payment"));
      line("ProductID", Text("PAY"));
      line("ProductTypeKey", Value::Integer(0));
      line("ProductGroupID", Value::Integer(19));
      line("Pkgs", Amount(Money::FromWhole(1)));
      line("Quantity", Amount(Money::FromWhole(1)));
      line("ProductKey", Value::Integer(0));
      line("TransPOS", Value::Integer(0));
      line("GLInventory", Text(kBankAccount));
      line("PaymentType", Value::Integer(2));
      line("PaymentAmount", Amount(amount));
      lines.Write();

      card("CCTransKey", Value::Integer(i + 1));
      card("AccountKey", Value::Integer(account_index));
      card("RespMsg", Text("Approved"));
      card("PayBatchkey", Value::Integer(batch_key));
      card("Approved", Value::Boolean(true));
      card("PayTransKey", Value::Integer(line_key));
      card("TransAmount", Amount(amount));
      card("TransDate", Value::Date(day));
      card("TransTime", Value::Time(DateTime(0, moment.ms_of_day())));
      card("Response", Text(Numbered("A", 100000 + i % 900000, 6)));
      card("PNRef", Value::Integer(500000000 + i));
      card("merchantId", Value::Integer(kCardMerchantId));
      card_log.Write();
    }
    batches.Finish();
    invoices.Finish();
    lines.Finish();
    card_log.Finish();
    totals_.invoices += count;
    totals_.lines += count;
    totals_.web_payments = count;
  }

  // The next keys after those written.
  void WriteKeys(const Totals& totals) {
    BulkInserter keys(store_, "Keys", clock_, static_cast<int64_t>(KeySequences().size()));
    const int table = keys.Position("TableName");
    const int field = keys.Position("FieldName");
    const int next = keys.Position("NextNumber");
    for (const KeySequence& sequence : KeySequences()) {
      int64_t next_number = 1;
      if (sequence.table_name == "Invoices") next_number = totals.invoices + 1;
      if (sequence.table_name == "Transactions") next_number = totals.lines + 1;
      if (sequence.table_name == "Accounts") next_number = totals.accounts + 1;
      if (sequence.table_name == "Manifest") next_number = kInvoiceDays + totals.web_payments + 1;
      if (sequence.table_name == "ccTransactions") next_number = totals.web_payments + 1;
      keys.Set(table, Text(std::string(sequence.table_name)));
      keys.Set(field, Text(std::string(sequence.field_name)));
      keys.Set(next, Value::Integer(next_number));
      keys.Write();
    }
  }

  Store& store_;
  const Options& options_;
  Platform& platform_;
  DateTime today_;
  const Stopwatch& clock_;
  std::mt19937_64 random_{20240331};
  std::vector<int> days_;
  Totals totals_;
  DeliveryPricing pricing_;
  int64_t tax_links_ = 0;
};

void Generate(const Options& options) {
  Stopwatch clock;
  FixedClock platform(SystemPlatform(), SystemPlatform().Now());
  Config config = ReadConfigFile(options.config_path);
  ClearOldFiles(config.database, options.replace);
  Store store(config.database, /*create_missing_files=*/true);
  store.CreateAllTables();
  // Settings of this connection alone: room to keep the indexes being
  // filled in memory; the rollback journal in memory too, which the
  // sample delivery's rollback needs and which stays small, since the
  // pages a fresh file gains need no journal; no syncs for a file that is
  // thrown away anyway if the load fails. The programs open it in WAL
  // mode as always.
  store.Execute("UserData", "PRAGMA cache_size = -524288");
  store.Execute("UserData", "PRAGMA journal_mode = MEMORY");
  store.Execute("UserData", "PRAGMA synchronous = OFF");
  std::fprintf(stderr, "Creating %s\n", config.database.userdata.c_str());

  store.Execute("UserData", "BEGIN IMMEDIATE");
  Totals totals;
  try {
    totals = StoreFiller(store, options, platform, clock).Fill();
    store.Execute("UserData", "COMMIT");
  } catch (...) {
    try {
      store.Execute("UserData", "ROLLBACK");
    } catch (const StoreError&) {
      // SQLite may have ended the transaction itself; the first failure is the one to report.
    }
    throw;
  }
  store.Execute("UserData", "PRAGMA journal_mode = WAL");
  std::fprintf(stderr, "Wrote %lld accounts, %lld tanks and %lld invoices in %.1f s\n",
               static_cast<long long>(totals.accounts), static_cast<long long>(totals.tanks),
               static_cast<long long>(totals.invoices), clock.Seconds());
}

}  // namespace
}  // namespace portavel

int main(int argc, char** argv) {
  portavel::Options options;
  try {
    options = portavel::ParseOptions(argc, argv);
  } catch (const portavel::UsageError& error) {
    std::fprintf(stderr, "generate_store: %s\nTry 'generate_store --help'.\n", error.what());
    return 2;
  }
  if (options.help) {
    std::fputs(portavel::kHelp, stdout);
    return 0;
  }
  try {
    portavel::Generate(options);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "generate_store: %s\n", error.what());
    return 1;
  }
  return 0;
}
