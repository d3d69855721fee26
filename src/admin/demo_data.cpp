#include "admin/demo_data.h"

#include <algorithm>
#include <array>
#include <nlohmann/json.hpp>

#include "account/account_password.h"
#include "admin/hex_text.h"
#include "pricing/tax_table.h"

namespace portavel {
namespace {

using Json = nlohmann::ordered_json;

constexpr const char* kCompanyName = "Harbor Valley Propane";
constexpr const char* kCity = "Harbor Valley";
constexpr const char* kState = "OR";
constexpr const char* kZip = "97420";

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

struct DemoTax {
  int key;
  const char* name;
  const char* rate;  // percent; a fee's is an amount per line
  TaxBase base;      // what it is levied on, as the pricing engine reads it
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

using Kind = DemoEntry::Kind;

// Account 3 never pays, so its charges age into every bucket; account 4's
// budget payments leave a balance that stays current; account 5 paid more
// than it owes. Deliveries are sold at the product's list price; the
// heating oil delivery of 50 days ago came before the tank's pre-buy
// contract.
constexpr DemoEntry kEntries[] = {
    {3, 100, Kind::kDelivery, 4, kPropane, "180.0"},
    {1, 75, Kind::kDelivery, 1, kPropane, "150.0"},
    {3, 70, Kind::kDelivery, 4, kPropane, "160.0"},
    {4, 65, Kind::kDelivery, 5, kPropane, "420.0"},
    {1, 60, Kind::kCheckPayment, 0, 0, "", 1, "CHK 2041"},
    {4, 60, Kind::kBudgetPayment, 0, 0, "150.00"},
    {2, 50, Kind::kDelivery, 2, kHeatingOil, "200.0"},
    {1, 40, Kind::kRental, 1, kTankRental, "1"},
    {3, 40, Kind::kDelivery, 4, kPropane, "140.0"},
    {2, 35, Kind::kCheckPayment, 0, 0, "", 6, "CHK 3310"},
    {1, 32, Kind::kCheckPayment, 0, 0, "", 7, "CHK 2077"},
    {4, 30, Kind::kBudgetPayment, 0, 0, "150.00"},
    {5, 25, Kind::kDelivery, 6, kPropane, "100.0"},
    {5, 22, Kind::kCheckPayment, 0, 0, "500.00", -1, "CHK 5120"},
    {2, 20, Kind::kDelivery, 3, kPropane, "80.0"},
    {1, 12, Kind::kDelivery, 1, kPropane, "120.0"},
    {2, 5, Kind::kCardPayment, 0, 0, "100.00"},
    {4, 1, Kind::kBudgetPayment, 0, 0, "150.00"},
};

const DemoProduct& Product(int key) {
  return *std::find_if(std::begin(kProducts), std::end(kProducts),
                       [key](const DemoProduct& p) { return p.key == key; });
}

const DemoAccount& Account(int index) {
  return kAccounts[index - 1];
}

bool Charges(const DemoTax& tax, int product_key) {
  return std::find(tax.products.begin(), tax.products.end(), product_key) != tax.products.end();
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
      // HV1002's card payment of five days ago took number 1000.
      {"NextCCNo", 1000},
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

// The ticket's tank buys its heating oil ahead: 500 gallons at the pre-buy
// price against a deposit of 200.00, for the rest of this heating season,
// bought after the tank's last oil delivery.
Json PrebuyContractRows(DateTime today) {
  return Json::array({{{"Prebuykey", 1},
                       {"Pbprice", kPrebuyPrice},
                       {"Pbstart", today.AddDays(-45).ToIsoDate()},
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

// Every sequence starts at the demo's first key but the accounts', whose
// rows the load file brings; the history draws the rest.
Json KeyRows() {
  constexpr std::array<std::array<const char*, 2>, 6> kSequences = {{
      {"Manifest", "BatchKey"},
      {"Invoices", "InvoiceKey"},
      {"Transactions", "TransKey"},
      {"TransTaxLkUp", "TransTaxLkUpKey"},
      {"ccTransactions", "ccTransKey"},
      {"Log", "Logkey"},  // the event log, where gateway errors are written
  }};
  Json rows = Json::array();
  for (const auto& [table, field] : kSequences) {
    rows.push_back({{"TableName", table}, {"FieldName", field}, {"NextNumber", 1}});
  }
  rows.push_back({{"TableName", "Accounts"},
                  {"FieldName", "AccountIndex"},
                  {"NextNumber", static_cast<int>(std::size(kAccounts)) + 1}});
  return rows;
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

std::span<const DemoEntry> DemoHistory() {
  return kEntries;
}

// The keys follow from posting the history: 16 batches, 18 invoices and
// 37 lines come before the ticket's.
const DemoTicket& DemoDeliveryTicket() {
  static const DemoTicket ticket = {.account = 2,
                                    .tank = 2,
                                    .batch = 17,
                                    .invoice = 19,
                                    .trans = 38,
                                    .product = kHeatingOil,
                                    .invoice_no = "20419",
                                    .gallons = "150",
                                    .price = kPrebuyPrice};
  return ticket;
}

std::string DemoDataJson(DateTime today) {
  today = today.DateOnly();
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
  data["PBcontracts"] = PrebuyContractRows(today);
  data["PBTankLkUp"] =
      Json::array({{{"PBTankContractKey", 1}, {"PBTankTankKey", DemoDeliveryTicket().tank}}});
  data["PriceTiers"] = PriceTierRows(today);
  data["Tierdateprices"] = TierDatePriceRows(today);
  data["acct"] = Json::array({{{"acctkey", kDepositGlAccount}, {"acct", "2300"}}});
  data["Keys"] = KeyRows();
  return data.dump(2);
}

}  // namespace portavel
