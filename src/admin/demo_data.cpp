#include "admin/demo_data.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <map>
#include <nlohmann/json.hpp>
#include <utility>

#include "admin/hex_text.h"
#include "money/money.h"
#include "web/web_password.h"

namespace portavel {
namespace {

using Json = nlohmann::ordered_json;

constexpr const char* kCompanyName = "Harbor Valley Propane";
constexpr const char* kCity = "Harbor Valley";
constexpr const char* kState = "OR";
constexpr const char* kZip = "97420";

constexpr int kDeliveryBatchType = 4;
constexpr int kPaymentBatchType = 2;
constexpr int kDaysToPay = 30;
// HV1002's heating oil tank buys ahead at this price.
constexpr const char* kPrebuyPrice = "3.1990";
// The GL account of customer deposits, which pre-buy deposit lines post to.
constexpr int kDepositGlAccount = 1;
// HV1001 pays with the card on file in the demo.
constexpr int kAccountWithCardOnFile = 1;

struct DemoAccount {
  int index;
  const char* id;
  const char* first_name;
  const char* last_name;
  const char* street_no;
  const char* street;
  const char* phone;
  const char* email;
  const char* password;
  bool budget;
  const char* about;
};

// Text is UTF-8 here, as in any load file; the loader stores it as
// windows-1252 ("García" shows that it does).
constexpr DemoAccount kAccounts[] = {
    {1, "HV1001", "Robert", "Smith", "120", "Maple Avenue", "(541) 555-0142",
     "robert.smith@example.com", "maple120", false, "paid up, one recent delivery open"},
    {2, "HV1002", "José", "García", "48", "Old Mill Road", "(541) 555-0178",
     "jose.garcia@example.com", "garcia22", false,
     "two tanks; an oil delivery waits for the truck"},
    {3, "HV1003", "Linda", "Thompson", "7", "Cedar Court", "(541) 555-0113",
     "linda.thompson@example.com", "cedar333", false, "past due"},
    {4, "HV1004", "Eileen", "Brooks", "2210", "Ridgeview Drive", "(541) 555-0190",
     "eileen.brooks@example.com", "budget44", true, "budget plan"},
    {5, "HV1005", "Anh", "Nguyen", "15", "Harbor Street", "(541) 555-0165",
     "anh.nguyen@example.com", "harbor55", false, "credit balance"},
};

struct DemoProduct {
  int key;
  const char* name;
  const char* id;
  const char* unit;
  const char* price;
  const char* type_id;
  int group;     // ProductGroupID: 1 is fuel, which pre-buy contracts cover
  int type_key;  // ProductTypekey
  bool service;
};

enum ProductKey { kPropane = 1, kHeatingOil = 2, kTankRental = 3, kSalesTax = 4, kHazmatFee = 5 };

constexpr DemoProduct kProducts[] = {
    {kPropane, "Propane", "LP", "Gallon", "2.8990", "LP", 1, 1, false},
    {kHeatingOil, "Heating Oil", "HO", "Gallon", "3.6490", "OIL", 1, 2, false},
    {kTankRental, "Tank Rental", "RENT", "Year", "65.0000", "RENT", 5, 3, true},
    {kSalesTax, "Sales Tax", "TAX", "Each", "0.0000", "TAX", 18, 0, true},
    {kHazmatFee, "Hazmat Delivery Fee", "FEE", "Each", "0.0000", "FEE", 18, 0, true},
};

enum class TaxBase { kQuantity = 0, kAmount = 1, kCount = 3 };

struct DemoTax {
  int key;
  const char* name;
  const char* rate;  // percent; a fee's is an amount per line
  TaxBase base;
  const char* gl_liability;
  int product;                  // the product that stands for it on invoices
  std::array<int, 2> products;  // the products it is charged on (0 = none)
};

// Heating oil carries one of each kind, so that a delivery recorded from a
// truck shows all three.
constexpr DemoTax kTaxes[] = {
    {1, "State Sales Tax", "6.0000", TaxBase::kAmount, "2200", kSalesTax, {kPropane, kHeatingOil}},
    {2,
     "County Energy Fee",
     "1.5000",
     TaxBase::kQuantity,
     "2210",
     kSalesTax,
     {kPropane, kHeatingOil}},
    {3, "Hazmat Delivery Fee", "2.5000", TaxBase::kCount, "2220", kHazmatFee, {kHeatingOil, 0}},
};

struct DemoTank {
  int index;
  int account;
  int serial_no;
  int size;
  int product;
  int delivery_status;  // 1..14, as the dispatch screens know them
  int fuel_percent;
  bool route_active;
  const char* delivery_type;
  const char* description;
};

constexpr DemoTank kTanks[] = {
    {1, 1, 40211, 500, kPropane, 1, 64, false, "Automatic", "500 gal above-ground propane tank"},
    {2, 2, 30877, 275, kHeatingOil, 6, 18, false, "Will Call", "275 gal indoor heating oil tank"},
    {3, 2, 41502, 120, kPropane, 3, 25, true, "Automatic", "120 gal propane tank, remote monitor"},
    {4, 3, 40993, 250, kPropane, 5, 22, false, "Automatic", "250 gal propane tank"},
    {5, 4, 38120, 1000, kPropane, 7, 71, false, "Automatic", "1000 gal underground propane tank"},
    {6, 5, 42017, 500, kPropane, 14, 35, false, "Will Call", "500 gal above-ground propane tank"},
    {7, 5, 42018, 100, kPropane, 2, 0, false, "Will Call", "100 gal propane tank, workshop"},
};

enum class EntryKind { kDelivery, kRental, kPayment };

struct DemoEntry {
  int account;
  int days_ago;
  EntryKind kind;
  int tank;               // deliveries and rentals
  const char* quantity;   // gallons delivered, or a payment's amount
  int pays_entry;         // a payment of an earlier entry's whole total (-1: `quantity`)
  const char* reference;  // a payment's check or card number
};

// In posting order, oldest first. Account 3 never pays, so its charges age
// into every bucket; account 4's budget payments leave a balance that
// stays current; account 5 paid more than it owes.
constexpr DemoEntry kEntries[] = {
    {3, 100, EntryKind::kDelivery, 4, "180.0", -1, nullptr},
    {1, 75, EntryKind::kDelivery, 1, "150.0", -1, nullptr},
    {3, 70, EntryKind::kDelivery, 4, "160.0", -1, nullptr},
    {4, 65, EntryKind::kDelivery, 5, "420.0", -1, nullptr},
    {1, 60, EntryKind::kPayment, 0, nullptr, 1, "CHK 2041"},
    {4, 60, EntryKind::kPayment, 0, "150.00", -1, "BUDGET"},
    {2, 50, EntryKind::kDelivery, 2, "200.0", -1, nullptr},
    {1, 40, EntryKind::kRental, 1, nullptr, -1, nullptr},
    {3, 40, EntryKind::kDelivery, 4, "140.0", -1, nullptr},
    {2, 35, EntryKind::kPayment, 0, nullptr, 6, "CHK 3310"},
    {1, 32, EntryKind::kPayment, 0, nullptr, 7, "CHK 2077"},
    {4, 30, EntryKind::kPayment, 0, "150.00", -1, "BUDGET"},
    {5, 25, EntryKind::kDelivery, 6, "100.0", -1, nullptr},
    {5, 22, EntryKind::kPayment, 0, "500.00", -1, "CHK 5120"},
    {2, 20, EntryKind::kDelivery, 3, "80.0", -1, nullptr},
    {1, 12, EntryKind::kDelivery, 1, "120.0", -1, nullptr},
    {2, 5, EntryKind::kPayment, 0, "100.00", -1, "CC 1000"},
    {4, 1, EntryKind::kPayment, 0, "150.00", -1, "BUDGET"},
};

Money Amount(const char* text) {
  return *Money::Parse(text);
}

std::string TwoPlaces(Money amount) {
  return amount.ToFixed(2);
}

const DemoProduct& Product(int key) {
  return *std::find_if(std::begin(kProducts), std::end(kProducts),
                       [key](const DemoProduct& p) { return p.key == key; });
}

const DemoTank& Tank(int index) {
  return kTanks[index - 1];
}

const DemoAccount& Account(int index) {
  return kAccounts[index - 1];
}

// A batch period: the year's last two digits and the month.
std::string Period(DateTime date) {
  char text[8];
  std::snprintf(text, sizeof text, "%02d%02d", date.year() % 100, date.month());
  return text;
}

DateTime At(DateTime date, int hour, int minute) {
  return DateTime(date.day(), (hour * 60 + minute) * 60'000);
}

// What an entry comes to once posted.
struct Posted {
  const DemoEntry* entry = nullptr;
  int invoice_key = 0;
  int batch_key = 0;
  DateTime date;
  Money subtotal;
  std::vector<std::pair<const DemoTax*, Money>> taxes;
  Money fees;     // the fee lines, which count in the subtotal
  Money total;    // InvTotal
  Money payment;  // PaymentTotal
};

bool Charges(const DemoTax& tax, int product_key) {
  return std::find(tax.products.begin(), tax.products.end(), product_key) != tax.products.end();
}

// As the portal's tax engine works it out for one delivered line.
Money TaxOn(const DemoTax& tax, Money subtotal, Money quantity) {
  if (tax.base == TaxBase::kCount) return Amount(tax.rate);
  Money base = tax.base == TaxBase::kAmount ? subtotal : quantity;
  std::array<Money, 3> factors = {base, Amount(tax.rate), Amount("0.01")};
  return RoundToDecimals(2, MultiplyRounded(factors));
}

// Turns the entries into invoices with keys, batches and amounts.
std::vector<Posted> PostEntries(DateTime today, std::map<std::pair<int, int>, int>* batches) {
  std::vector<Posted> posted;
  for (const DemoEntry& entry : kEntries) {
    Posted p;
    p.entry = &entry;
    p.invoice_key = static_cast<int>(posted.size()) + 1;
    p.date = today.AddDays(-entry.days_ago);
    int batch_type = entry.kind == EntryKind::kPayment ? kPaymentBatchType : kDeliveryBatchType;
    auto batch =
        batches->try_emplace({entry.days_ago, batch_type}, static_cast<int>(batches->size()) + 1);
    p.batch_key = batch.first->second;
    switch (entry.kind) {
      case EntryKind::kPayment:
        p.payment = entry.pays_entry >= 0 ? posted[entry.pays_entry].total : Amount(entry.quantity);
        break;
      case EntryKind::kRental:
        p.subtotal = Amount(Product(kTankRental).price);
        p.total = p.subtotal;
        break;
      case EntryKind::kDelivery: {
        const DemoProduct& product = Product(Tank(entry.tank).product);
        Money quantity = Amount(entry.quantity);
        p.subtotal = RoundToDecimals(2, MultiplyRoundedPair(quantity, Amount(product.price)));
        p.total = p.subtotal;
        for (const DemoTax& tax : kTaxes) {
          if (!Charges(tax, product.key)) continue;
          Money amount = TaxOn(tax, p.subtotal, quantity);
          p.taxes.emplace_back(&tax, amount);
          p.total += amount;
          if (tax.base == TaxBase::kCount) p.fees += amount;
        }
        break;
      }
    }
    posted.push_back(std::move(p));
  }
  return posted;
}

Json CompanyRows() {
  return Json::array({{{"CompanyName", kCompanyName},
                       {"Phone", "(541) 555-0100"},
                       {"WebsiteAddress", "www.harborvalleypropane.example"}}});
}

Json RemotePrefsRows() {
  return Json::array({{
      {"RemotePrefsKey", 1},
      {"Over1", 30},
      {"Over2", 60},
      {"Over3", 90},
      // Merchant 0 charges through the form-post gateway; scripts/demo points
      // that gateway at its own test gateway on loopback.
      {"MerchantID", 0},
      {"CCUserName", "harborvalley"},
      {"CCPassword", "demo-gateway-password"},
      {"CCVendorID", "1"},
      {"CCMin", "5.00"},
      {"NextCCNo", 1001},
      {"UseCC", true},
      {"DefaultBankAccount", "1"},
      {"Defterms", 1},
      {"NumberofDecimals", 2},
      {"DefaultEndPercent", 80},
      {"DefGLacct", kDepositGlAccount},
      {"UseDueDAge", false},
  }});
}

Json ProductRows() {
  Json rows = Json::array();
  for (const DemoProduct& p : kProducts) {
    rows.push_back({{"ProductKey", p.key},
                    {"ProductName", p.name},
                    {"ProductID", p.id},
                    {"Unitofmeasure", p.unit},
                    {"ProductTypeID", p.type_id},
                    {"Price", p.price},
                    {"Service", p.service ? 1 : 0},
                    {"ProductGroupID", p.group},
                    {"ProductTypekey", p.type_key},
                    {"POS", 0},
                    {"GLInventory", p.service ? "" : "1400"},
                    {"GLSales", p.service ? "" : "4000"},
                    {"GLCGS", p.service ? "" : "5000"}});
  }
  return rows;
}

Json TaxRows() {
  Json rows = Json::array();
  for (const DemoTax& tax : kTaxes) {
    rows.push_back({{"Taxkey", tax.key},
                    {"TaxName", tax.name},
                    {"TaxRate", tax.rate},
                    {"CalconSubTotal", static_cast<int>(tax.base)},
                    {"ChargeTax", 1},
                    {"Deleted", 0},
                    {"ProductKey", tax.product},
                    {"GLLiability", tax.gl_liability},
                    {"TaxType", 0}});
  }
  return rows;
}

// Which taxes each product carries, as the desktop program keeps it.
void AddTaxLists(Json* tax_links, Json* taxed_products) {
  int link_key = 0;
  for (const DemoProduct& product : kProducts) {
    bool taxed = false;
    for (const DemoTax& tax : kTaxes) {
      if (!Charges(tax, product.key)) continue;
      tax_links->push_back({{"TaxLkUpKey", ++link_key},
                            {"TaxName", tax.name},
                            {"ChargeTax", 1},
                            {"TaxKey", tax.key},
                            {"ProductKey", product.key}});
      taxed = true;
    }
    if (taxed) {
      taxed_products->push_back({{"PCTLkUpKey", static_cast<int>(taxed_products->size()) + 1},
                                 {"ProductKey", product.key}});
    }
  }
  // Every customer pays every tax: a tax stays on a delivered line only
  // when the customer's own list names it too.
  for (const DemoAccount& account : kAccounts) {
    for (const DemoTax& tax : kTaxes) {
      tax_links->push_back({{"TaxLkUpKey", ++link_key},
                            {"TaxName", tax.name},
                            {"ChargeTax", 1},
                            {"TaxKey", tax.key},
                            {"AccountKey", account.index}});
    }
  }
}

// The aging fields are left for the loader's caller, which ages each
// account the way the account page does.
Json AccountRows(DateTime today) {
  Json rows = Json::array();
  for (const DemoAccount& a : kAccounts) {
    rows.push_back({
        {"AccountIndex", a.index},
        {"AccountID", a.id},
        {"Termskey", 1},
        {"BillToLname", a.last_name},
        {"BillToFname", a.first_name},
        {"StreetNo", a.street_no},
        {"StreetName", a.street},
        {"City", kCity},
        {"State", kState},
        {"Zip", kZip},
        {"Phone", a.phone},
        {"UseBudget", a.budget ? "YES" : "NO"},
        {"Email", a.email},
        {"WALPW", {{"hex", LowerHex(StoredWebPassword(a.password))}}},
        {"Active", "Yes"},
        {"AccountOpened", today.AddDays(-1100 - 45 * a.index).ToIsoDate()},
        {"OiorBf", 0},
        {"ChargeFC", 0},
        {"AccountDescription", a.about},
        {"BudgetAmount", a.budget ? Json("150.00") : Json()},
        {"BudgetStartDate", a.budget ? Json(today.AddDays(-90).ToIsoDate()) : Json()},
        {"Sendstmnt", 1},
        {"CreditLimit", "1500.00"},
    });
    if (a.index == kAccountWithCardOnFile) {
      // The gateway keeps the card; the account keeps only its reference.
      rows.back()["CcCustkey"] = "DEMO-CUST-1001";
      rows.back()["CCInfokey"] = "DEMO-CARD-1001";
      rows.back()["Cclast4"] = "Visa ending 1111";
    }
  }
  return rows;
}

Json TankRows(DateTime today) {
  Json rows = Json::array();
  for (const DemoTank& t : kTanks) {
    const DemoAccount& a = Account(t.account);
    const DemoProduct& product = Product(t.product);
    rows.push_back({
        {"Tankindex", t.index},
        {"SerialNo", t.serial_no},
        {"AccountID", a.id},
        {"BillToLname", a.last_name},
        {"EquipmentType", product.key == kPropane ? "Propane tank" : "Oil tank"},
        {"DeliveryStatus", t.delivery_status},
        {"FuelinTank", t.fuel_percent},
        {"DateofPurchase", today.AddDays(-2000 - 30 * t.index).ToIsoDate()},
        {"TaxGroupKey", 1},
        {"RoutingMethod", 1},
        {"SerialPrefix", "HV-"},
        {"Size", t.size},
        {"PricingType", "Retail"},
        {"Manufacturer", product.key == kPropane ? "Trinity" : "Granby"},
        {"Ownedby", product.key == kPropane ? kCompanyName : "Customer"},
        {"DeliveryType", t.delivery_type},
        {"EquipDesc", t.description},
        {"DeliveryStreetNo", a.street_no},
        {"DeliveryStreetName", a.street},
        {"DeliveryCity", kCity},
        {"DeliveryState", kState},
        {"DeliveryZip", kZip},
        {"DefProductKey", product.key},
        // The heating oil tank is priced by the residential tier, less a
        // customer discount.
        {"PriceTierKey", product.key == kHeatingOil ? Json(1) : Json()},
        {"CustomPrice", product.key == kHeatingOil ? Json("-0.0500") : Json()},
        {"RteActive", t.route_active},
        {"Email", a.email},
    });
  }
  return rows;
}

const char* InvoiceType(const DemoEntry& entry) {
  switch (entry.kind) {
    case EntryKind::kRental:
      return "Tank Rental";
    case EntryKind::kPayment:
      if (std::string_view(entry.reference) == "BUDGET") return "Budget Payment";
      return std::string_view(entry.reference).starts_with("CC") ? "Online Payment" : "Payment";
    case EntryKind::kDelivery:
      break;
  }
  return Tank(entry.tank).product == kPropane ? "Propane Delivery" : "Heating Oil Delivery";
}

std::string InvoiceNo(const Posted& p) {
  if (p.entry->kind != EntryKind::kPayment) return std::to_string(20400 + p.invoice_key);
  if (std::string_view(p.entry->reference) == "BUDGET")
    return "BUD " + std::to_string(p.invoice_key);
  return p.entry->reference;
}

struct PostingRows {
  Json batches = Json::array();
  Json invoices = Json::array();
  Json lines = Json::array();
  Json tax_links = Json::array();
};

PostingRows PostingTables(const std::vector<Posted>& posted,
                          const std::map<std::pair<int, int>, int>& batch_keys, DateTime today) {
  PostingRows out;
  std::vector<std::pair<int, std::pair<int, int>>> by_key;
  for (const auto& [day_and_type, key] : batch_keys) by_key.push_back({key, day_and_type});
  std::sort(by_key.begin(), by_key.end());
  for (const auto& [key, day_and_type] : by_key) {
    DateTime date = today.AddDays(-day_and_type.first);
    bool payments = day_and_type.second == kPaymentBatchType;
    out.batches.push_back({{"BatchKey", key},
                           {"BatchNo", key},
                           {"BankKey", "1"},
                           {"BatchType", day_and_type.second},
                           {"Period", Period(date)},
                           {"Closed", 1},
                           {"Date", date.ToIsoDate()},
                           {"DefaultInvDate", date.ToIsoDate()},
                           {"DefInvType", payments ? "Payment" : "Delivery"},
                           {"DriverName", payments ? "" : "Dale Porter"},
                           {"EmployeeName", "Office"}});
  }

  int trans_key = 0;
  for (const Posted& p : posted) {
    const DemoEntry& e = *p.entry;
    const DemoAccount& a = Account(e.account);
    bool payment = e.kind == EntryKind::kPayment;
    std::string invoice_no = InvoiceNo(p);
    std::string date = p.date.ToIsoDate();
    Json invoice = {
        {"InvoiceKey", p.invoice_key},
        {"Accountkey", a.index},
        {"DiscountAmount", "0.00"},
        {"BatchKey", p.batch_key},
        {"DueDate", payment ? Json() : Json(p.date.AddDays(kDaysToPay).ToIsoDate())},
        {"InvoiceNo", invoice_no},
        {"BudgetPayment", InvoiceType(e) == std::string_view("Budget Payment") ? "YES" : "NO"},
        {"TankKey", payment ? Json() : Json(e.tank)},
        {"AccountID", a.id},
        {"BatchType", payment ? kPaymentBatchType : kDeliveryBatchType},
        {"InvDate", date},
        {"Subtotal", TwoPlaces(p.subtotal + p.fees)},
        {"Taxtotal", TwoPlaces(p.total - p.subtotal - p.fees)},
        {"FeeTotal", p.fees.IsZero() ? Json() : Json(TwoPlaces(p.fees))},
        {"InvTotal", TwoPlaces(p.total)},
        {"PaymentTotal", TwoPlaces(p.payment)},
        {"Employee", "Office"},
        {"InvType", InvoiceType(e)},
        {"Time", payment ? "14:10:00" : "09:30:00"},
        {"Gallons", e.kind == EntryKind::kDelivery ? Json(TwoPlaces(Amount(e.quantity))) : Json()},
        {"Printed", true},
    };
    out.invoices.push_back(std::move(invoice));

    Json common = {{"Period", Period(p.date)},
                   {"Posted", "Yes"},
                   {"Time", At(p.date, payment ? 14 : 9, payment ? 10 : 30).ToIsoDateTime()},
                   {"Invoicekey", p.invoice_key},
                   {"AccountID", a.id},
                   {"InvoiceNo", invoice_no},
                   {"BatchKey", p.batch_key},
                   {"InvDate", date},
                   {"Accountkey", a.index},
                   {"GLType", 1}};
    auto line = [&](Json fields) {
      Json row = {{"TransKey", ++trans_key}};
      row.update(common);
      row.update(fields);
      out.lines.push_back(std::move(row));
      return trans_key;
    };
    if (payment) {
      line({{"TransType", 2},
            {"PaymentType", 2},
            {"ProductID", "PAY"},
            {"ProductName", InvoiceType(e)},
            {"PaymentAmount", TwoPlaces(p.payment)},
            {"PaymentRef", e.reference},
            {"TransTotal", "0.00"}});
      continue;
    }
    const DemoProduct& product =
        Product(e.kind == EntryKind::kRental ? kTankRental : Tank(e.tank).product);
    Money quantity = e.kind == EntryKind::kDelivery ? Amount(e.quantity) : Money::FromWhole(1);
    int product_line =
        line({{"TransType", kDeliveryBatchType},
              {"TankIndex", e.tank},
              {"ProductKey", product.key},
              {"ProductName", product.name},
              {"ProductID", product.id},
              {"UnitofMeasure", product.unit},
              {"Quantity", quantity.ToFixed(4)},
              {"Gallons", e.kind == EntryKind::kDelivery ? Json(quantity.ToFixed(4)) : Json()},
              {"TranPrice", product.price},
              {"TransTotal", TwoPlaces(p.subtotal)}});
    for (const auto& [tax, amount] : p.taxes) {
      line({{"TransType", 7},
            {"ProductKey", tax->product},
            {"ProductName", tax->name},
            {"ProductID", tax->base == TaxBase::kCount ? "FEE" : "TAX"},
            {"Quantity", "1.0000"},
            {"TranPrice", amount.ToFixed(4)},
            {"TransTotal", TwoPlaces(amount)}});
      out.tax_links.push_back({{"TransTaxLkUpKey", static_cast<int>(out.tax_links.size()) + 1},
                               {"TaxKey", tax->key},
                               {"Taxable", 1},
                               {"TransKey", product_line},
                               {"ChargeTax", 1},
                               {"BatchKey", p.batch_key},
                               {"AccountKey", a.index},
                               {"Exempt", false}});
    }
  }
  return out;
}

// The open delivery batch of today, holding the heating oil ticket the
// office wrote for HV1002's tank 2: the invoice and its product line with
// the quantity and amount, priced at the tank's pre-buy contract. The
// truck records it through "/rd"; its keys follow the demo's own.
DemoTicket TicketAfter(const PostingRows& posting) {
  DemoTicket ticket;
  ticket.account = 2;
  ticket.tank = 2;
  ticket.product = kHeatingOil;
  ticket.batch = static_cast<int>(posting.batches.size()) + 1;
  ticket.invoice = static_cast<int>(posting.invoices.size()) + 1;
  ticket.trans = static_cast<int>(posting.lines.size()) + 1;
  ticket.invoice_no = std::to_string(20400 + ticket.invoice);
  ticket.gallons = "150";
  ticket.price = kPrebuyPrice;
  return ticket;
}

void AddTicket(const DemoTicket& ticket, DateTime today, PostingRows* posting) {
  const DemoAccount& a = Account(ticket.account);
  const DemoProduct& product = Product(ticket.product);
  const Money gallons = Amount(ticket.gallons);
  const Money amount = RoundToDecimals(2, MultiplyRoundedPair(gallons, Amount(ticket.price)));
  const std::string date = today.ToIsoDate();
  posting->batches.push_back({{"BatchKey", ticket.batch},
                              {"BatchNo", ticket.batch},
                              {"BankKey", "1"},
                              {"BatchType", kDeliveryBatchType},
                              {"Period", Period(today)},
                              {"Closed", 0},
                              {"EquipmentID", 3},
                              {"DriverNumber", 12},
                              {"Date", date},
                              {"DefaultInvDate", date},
                              {"DefInvType", "Delivery"},
                              {"DriverName", "Dale Porter"},
                              {"EmployeeName", "Office"}});
  posting->invoices.push_back({{"InvoiceKey", ticket.invoice},
                               {"Accountkey", a.index},
                               {"BatchKey", ticket.batch},
                               {"DueDate", today.AddDays(kDaysToPay).ToIsoDate()},
                               {"InvoiceNo", ticket.invoice_no},
                               {"BudgetPayment", "NO"},
                               {"TankKey", ticket.tank},
                               {"AccountID", a.id},
                               {"BatchType", kDeliveryBatchType},
                               {"InvDate", date},
                               {"Employee", "Office"},
                               {"InvType", "Heating Oil Delivery"},
                               {"Time", "07:45:00"},
                               {"Printed", false}});
  posting->lines.push_back({{"TransKey", ticket.trans},
                            {"Period", Period(today)},
                            {"Posted", "No"},
                            {"Time", At(today, 7, 45).ToIsoDateTime()},
                            {"Invoicekey", ticket.invoice},
                            {"AccountID", a.id},
                            {"InvoiceNo", ticket.invoice_no},
                            {"BatchKey", ticket.batch},
                            {"InvDate", date},
                            {"Accountkey", a.index},
                            {"GLType", 1},
                            {"TransType", kDeliveryBatchType},
                            {"TankIndex", ticket.tank},
                            {"ProductKey", product.key},
                            {"ProductName", product.name},
                            {"ProductID", product.id},
                            {"ProductGroupID", product.group},
                            {"ProductTypeKey", product.type_key},
                            {"UnitofMeasure", product.unit},
                            {"Quantity", gallons.ToFixed(4)},
                            {"Gallons", gallons.ToFixed(4)},
                            {"TranPrice", ticket.price},
                            {"TransTotal", TwoPlaces(amount)}});
}

// The ticket's tank buys its heating oil ahead: 500 gallons at the pre-buy
// price against a deposit of 200.00, for this heating season.
Json PrebuyContractRows(DateTime today) {
  return Json::array({{{"Prebuykey", 1},
                       {"Pbprice", kPrebuyPrice},
                       {"Pbstart", today.AddDays(-120).ToIsoDate()},
                       {"Pbend", today.AddDays(240).ToIsoDate()},
                       {"Pbgallons", "500.0000"},
                       {"Pbdeposit", "200.00"},
                       {"PriceCap", false}}});
}

// The residential heating oil tier, whose dated prices price any gallons
// a delivery takes beyond the contract.
Json PriceTierRows(DateTime today) {
  return Json::array({{{"TierKey", 1},
                       {"TierName", "RES-OIL"},
                       {"Description", "Residential heating oil"},
                       {"Price", Product(kHeatingOil).price},
                       {"EffectiveDate", today.AddDays(-60).ToIsoDate()}}});
}

Json TierDatePriceRows(DateTime today) {
  return Json::array({
      {{"Tierkey", 1}, {"Tdpdate", today.AddDays(-60).ToIsoDate()}, {"Price", "3.5490"}},
      {{"Tierkey", 1}, {"Tdpdate", today.AddDays(-10).ToIsoDate()}, {"Price", "3.6490"}},
  });
}

// The key sequences carry on after the demo's own keys.
Json KeyRows(const PostingRows& posting) {
  auto next = [](const Json& rows) { return static_cast<int>(rows.size()) + 1; };
  return Json::array({
      {{"TableName", "Manifest"}, {"FieldName", "BatchKey"}, {"NextNumber", next(posting.batches)}},
      {{"TableName", "Invoices"},
       {"FieldName", "InvoiceKey"},
       {"NextNumber", next(posting.invoices)}},
      {{"TableName", "Transactions"},
       {"FieldName", "TransKey"},
       {"NextNumber", next(posting.lines)}},
      {{"TableName", "TransTaxLkUp"},
       {"FieldName", "TransTaxLkUpKey"},
       {"NextNumber", next(posting.tax_links)}},
      {{"TableName", "Accounts"},
       {"FieldName", "AccountIndex"},
       {"NextNumber", static_cast<int>(std::size(kAccounts)) + 1}},
      {{"TableName", "ccTransactions"}, {"FieldName", "ccTransKey"}, {"NextNumber", 1}},
      // The event log, where gateway errors are written.
      {{"TableName", "Log"}, {"FieldName", "Logkey"}, {"NextNumber", 1}},
  });
}

}  // namespace

const std::vector<DemoLogin>& DemoLogins() {
  static const std::vector<DemoLogin> logins = [] {
    std::vector<DemoLogin> list;
    for (const DemoAccount& a : kAccounts) list.push_back({a.id, a.password, a.about});
    return list;
  }();
  return logins;
}

std::string DemoDataJson(DateTime today) {
  today = today.DateOnly();
  std::map<std::pair<int, int>, int> batch_keys;
  std::vector<Posted> posted = PostEntries(today, &batch_keys);
  PostingRows posting = PostingTables(posted, batch_keys, today);
  const DemoTicket ticket = TicketAfter(posting);
  AddTicket(ticket, today, &posting);
  Json tax_links = Json::array();
  Json taxed_products = Json::array();
  AddTaxLists(&tax_links, &taxed_products);

  Json data = Json::object();
  data["Company"] = CompanyRows();
  data["RemotePrefs"] = RemotePrefsRows();
  data["Products"] = ProductRows();
  data["Taxes"] = TaxRows();
  data["TaxLkUp"] = tax_links;
  data["PCTLkUp"] = taxed_products;
  data["Accounts"] = AccountRows(today);
  data["Tanks"] = TankRows(today);
  data["Manifest"] = posting.batches;
  data["Invoices"] = posting.invoices;
  data["Transactions"] = posting.lines;
  data["TransTaxLkUp"] = posting.tax_links;
  data["PBcontracts"] = PrebuyContractRows(today);
  data["PBTankLkUp"] = Json::array({{{"PBTankContractKey", 1}, {"PBTankTankKey", ticket.tank}}});
  data["PriceTiers"] = PriceTierRows(today);
  data["Tierdateprices"] = TierDatePriceRows(today);
  data["acct"] = Json::array({{{"acctkey", kDepositGlAccount}, {"acct", "2300"}}});
  data["Keys"] = KeyRows(posting);
  return data.dump(2);
}

const DemoTicket& DemoDeliveryTicket() {
  static const DemoTicket ticket = [] {
    std::map<std::pair<int, int>, int> batch_keys;
    const DateTime any_day = DateTime::FromDays(45000);
    return TicketAfter(PostingTables(PostEntries(any_day, &batch_keys), batch_keys, any_day));
  }();
  return ticket;
}

}  // namespace portavel
