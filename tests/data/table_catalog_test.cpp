#include "data/table_catalog.h"

#include <gtest/gtest.h>

#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "text/cp1252.h"

namespace portavel {
namespace {

const TableDef& Table(std::string_view alias, std::string_view name) {
  const TableDef* table = FindTableDef(alias, name);
  if (table == nullptr) throw std::runtime_error("no table " + std::string(name));
  return *table;
}

// 1-based position of a field, 0 when absent.
int PositionOf(const TableDef& table, std::string_view field_name) {
  for (size_t i = 0; i < table.fields.size(); ++i) {
    if (table.fields[i].name == field_name) return static_cast<int>(i) + 1;
  }
  return 0;
}

TEST(TableCatalogTest, ResolvesTableNamesAsTheDesktopProgramWritesThem) {
  struct Case {
    const char* alias;
    const char* name;
    const char* found;  // nullptr: no such table
  };
  const Case cases[] = {
      {"UserData", "Invoices.DB", "Invoices"},
      {"UserData", "invoices.db", "Invoices"},
      {"UserData", " Invoices ", "Invoices"},
      {"UserData", "INVOICES", "Invoices"},
      {"USERDATA", "Keys.db", "Keys"},
      {"Userdata", "TankTaxLkUp.db", "TankTaxLkUp"},
      {"userdata", "scid.Db", "scid"},
      {"LocalData", "Taxes.DB", "Taxes"},
      {"localdata", "e_stmt_smtp_cnxn_cfg", "e_stmt_smtp_cnxn_cfg"},
      {"UserData", "Taxes", nullptr},
      {"LocalData", "Invoices", nullptr},
      {"Elsewhere", "Invoices", nullptr},
      {"UserData", "Invoice", nullptr},
      {"UserData", "Invoices.dbx", nullptr},
      {"UserData", ".db", nullptr},
      {"UserData", "", nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.alias) + " / '" + c.name + "'");
    const TableDef* table = FindTableDef(c.alias, c.name);
    if (c.found == nullptr) {
      EXPECT_EQ(table, nullptr);
    } else {
      ASSERT_NE(table, nullptr);
      EXPECT_EQ(table->name, c.found);
    }
  }
}

TEST(TableCatalogTest, BareTableNameDropsBlanksAndExtension) {
  const std::pair<const char*, const char*> cases[] = {
      {" Invoices.DB ", "Invoices"},
      {"Keys.db", "Keys"},
      {"ArchInv", "ArchInv"},
      {".db", ""},
      {"db", "db"},
      {"Invoices.dbx", "Invoices.dbx"},
  };
  for (const auto& [name, bare] : cases) EXPECT_EQ(BareTableName(name), bare) << name;
}

// Spots where a slip in copying the dealer's layouts would show: the
// edges of each column of the wide tables, and the odd types.
TEST(TableCatalogTest, FieldsSitAtTheirDeclaredPositionsWithTheirTypes) {
  struct Spot {
    const char* alias;
    const char* table;
    int position;  // 1-based; -1: the last field
    const char* field;
    const char* type;
  };
  const Spot spots[] = {
      {"UserData", "Tanks", 1, "Tankindex", "Integer"},
      {"UserData", "Tanks", 46, "Manufacturerdate", "Date"},
      {"UserData", "Tanks", 47, "Ownedby", "String(25)"},
      {"UserData", "Tanks", 92, "PrebuyGallons", "BCD(3)"},
      {"UserData", "Tanks", 93, "PBGalsLeft", "BCD(3)"},
      {"UserData", "Tanks", 127, "LocNo", "Float"},
      {"UserData", "Tanks", 138, "RentTierGroupKey", "Integer"},
      {"UserData", "Tanks", -1, "RentTierGroupKey", "Integer"},
      {"UserData", "RemotePrefs", 1, "RemotePrefsKey", "Integer"},
      {"UserData", "RemotePrefs", 20, "DefaultBankAccount", "String(9)"},
      {"UserData", "RemotePrefs", 50, "Tag1Label", "String(20)"},
      {"UserData", "RemotePrefs", 187, "MerchantID", "Integer"},
      {"UserData", "RemotePrefs", 192, "NextCCNo", "Integer"},
      {"UserData", "RemotePrefs", 252, "InfieldBackupPath", "String(255)"},
      {"UserData", "RemotePrefs", -1, "InfieldBackupPath", "String(255)"},
      {"UserData", "Invoices", 1, "InvoiceKey", "Integer"},
      {"UserData", "Invoices", 3, "PayBalance", "BCD(2)"},
      {"UserData", "Invoices", 16, "TotalQuantity", "BCD(4)"},
      {"UserData", "Invoices", 17, "OIBalance", "BCD(2)"},
      {"UserData", "Invoices", 32, "Printed", "Boolean"},
      {"UserData", "Invoices", -1, "Printed", "Boolean"},
      {"UserData", "Accounts", 1, "AccountIndex", "Integer"},
      {"UserData", "Accounts", 2, "AccountID", "String(30)"},
      {"UserData", "Accounts", 22, "WALPW", "Bytes(21)"},
      {"UserData", "Accounts", -1, "CkInfoKey", "String(20)"},
      {"UserData", "Transactions", 16, "Invoicekey", "Integer"},
      {"UserData", "Transactions", -1, "Pkgs", "BCD(4)"},
      {"UserData", "Manifest", -1, "MachineID", "String(50)"},
      {"UserData", "Products", 15, "ProductGroupID", "SmallInt"},
      {"UserData", "Products", 16, "Price", "BCD(4)"},
      {"UserData", "Products", 17, "ProductGroupPicture", "Graphic"},
      {"UserData", "Products", -1, "OnTruckTaxes", "String(2)"},
      {"LocalData", "Taxes", 1, "Taxkey", "AutoInc"},
      {"LocalData", "Taxes", 12, "TonT", "BCD(2)"},
      {"LocalData", "Taxes", -1, "FlatRate", "BCD(2)"},
      {"UserData", "ArchInv", 9, "PayBalance", "BCD(2)"},
      {"UserData", "AppliedTo", 4, "Amount", "Money"},
      {"UserData", "ArchApTo", 4, "Amount", "Money"},
      {"UserData", "ccTransactions", 7, "TransAmount", "Money"},
      {"UserData", "ccTransactions", 3, "RespMsg", "Memo"},
      {"UserData", "Tierdateprices", 3, "Price", "Money"},
      {"LocalData", "e_stmt_smtp_cnxn_cfg", 4, "Pass_Word", "Graphic"},
      {"LocalData", "e_stmt_smtp_cnxn_cfg", -1, "Max_Sends_Per_Connect", "Integer"},
      {"UserData", "Keys", 1, "TableName", "String(20)"},
      {"UserData", "Log", 2, "Logdesc", "String(255)"},
      {"UserData", "scid", 1, "Data", "Bytes(16)"},
  };
  for (const Spot& s : spots) {
    SCOPED_TRACE(std::string(s.table) + " #" + std::to_string(s.position) + " " + s.field);
    const TableDef& table = Table(s.alias, s.table);
    const size_t index = s.position < 0 ? table.fields.size() - 1 : s.position - 1;
    ASSERT_LT(index, table.fields.size());
    EXPECT_EQ(table.fields[index].name, s.field);
    EXPECT_EQ(DescribeFieldType(table.fields[index]), s.type);
  }
}

TEST(TableCatalogTest, WideTablesHaveExactlyTheirDeclaredFieldCount) {
  const std::pair<const char*, size_t> counts[] = {
      {"Tanks", 138},   {"RemotePrefs", 252}, {"Invoices", 32}, {"Transactions", 43},
      {"Manifest", 53}, {"Products", 27},     {"Accounts", 57},
  };
  for (const auto& [name, count] : counts) {
    EXPECT_EQ(Table("UserData", name).fields.size(), count) << name;
  }
  EXPECT_EQ(Table("LocalData", "Taxes").fields.size(), 22u);
}

// Ranged names, lists of names sharing a type, and the turn from one
// column of a layout to the next must come out as consecutive fields.
TEST(TableCatalogTest, RunsOfFieldsAreConsecutive) {
  struct Run {
    const char* table;
    std::vector<const char*> fields;
  };
  const Run runs[] = {
      {"RemotePrefs",
       {"FCProdTypeName", "Tag1Label", "Tag2Label", "Tag3Label", "Tag4Label", "Tag5Label",
        "Tag6Label", "StatementDate"}},
      {"RemotePrefs",
       {"CubicftorGallons", "StaHeaderHt", "StaPaperHt", "StaFooterHt", "StaBillAddLeft",
        "StaBillAddTop", "StaShiptoLeft", "StaShiptoTop", "StaCompanyLeft", "StaCompanyTop",
        "InvMinPntBal"}},
      {"RemotePrefs",
       {"IVTag4Label", "IVTag5Label", "UseAvgTempDD", "UseRegulators", "IVTag6Label", "TankTag1",
        "TankTag2", "TankTag3", "TankTag4", "TankTag5", "TankTag6", "UseFieldServiceForms"}},
      {"Invoices", {"InvoiceKey", "Accountkey", "PayBalance", "DiscountAmount", "BatchKey"}},
      {"Invoices", {"InvDate", "TotalQuantity", "OIBalance", "Subtotal"}},
      {"Tanks", {"Size", "PricingType", "Paint", "Manufacturer", "Manufacturerdate", "Ownedby"}},
      {"Tanks", {"CustomRent", "PrebuyGallons", "PBGalsLeft", "Prebuystart"}},
      {"Accounts", {"Over3", "MerchantID", "Active", "AccountOpened"}},
  };
  for (const Run& run : runs) {
    const TableDef& table = Table("UserData", run.table);
    const int first = PositionOf(table, run.fields.front());
    ASSERT_GT(first, 0) << run.table << " " << run.fields.front();
    for (size_t i = 0; i < run.fields.size(); ++i) {
      EXPECT_EQ(PositionOf(table, run.fields[i]), first + static_cast<int>(i))
          << run.table << " " << run.fields[i];
    }
  }
}

// The account pages and the account object address these by name; the
// row must hold each of them once, under any spelling the callers use.
TEST(TableCatalogTest, ViewsAndPositionTablesFindTheirFields) {
  const TableDef& tanks = Table("UserData", "Tanks");
  for (const char* name : {"Tankindex",
                           "SerialNo",
                           "AccountID",
                           "DeliveryAddressline2",
                           "DeliveryAddressline3",
                           "DeliveryStatus",
                           "FuelinTank",
                           "SerialPrefix",
                           "Size",
                           "Manufacturer",
                           "Ownedby",
                           "DeliveryType",
                           "EquipDesc",
                           "DeliveryStreetNo",
                           "DeliveryStreetName",
                           "DeliveryCity",
                           "DeliveryState",
                           "DeliveryZip",
                           "DeliverydateofReturn",
                           "SerialSuffix",
                           "NextRentalDate",
                           "Holdtill",
                           "RteActive"}) {
    EXPECT_NE(tanks.FindField(name), nullptr) << name;
  }
  const TableDef& accounts = Table("UserData", "Accounts");
  for (const char* name : {"AccountID",
                           "Active",
                           "BillToLName",
                           "BillToFName",
                           "AccountOpened",
                           "LastStatement",
                           "Current",
                           "OverThirty",
                           "OverSixty",
                           "OverNinety",
                           "StreetNo",
                           "StreetName",
                           "City",
                           "State",
                           "Zip",
                           "OiorBf",
                           "AddressLine2",
                           "ChargeFC",
                           "AccountDescription",
                           "UseBudget",
                           "BudgetAmount",
                           "AccountType",
                           "Tag",
                           "Tag2",
                           "Tag3",
                           "Tag4",
                           "Tag5",
                           "Tag6",
                           "Phone",
                           "OtherPhone",
                           "Balance",
                           "Termskey",
                           "Sendstmnt",
                           "Fax",
                           "BudgetStartDate",
                           "AccountIndex",
                           "PreBuyStart",
                           "PreBuyEnd",
                           "PBGalsLeft",
                           "PreBuyGallons",
                           "Archived",
                           "ArchiveDate",
                           "BudgetReviewDate",
                           "Email",
                           "CreditLimit",
                           "BlanketPO",
                           "CCCustKey",
                           "CCInfoKey",
                           "CCLast4",
                           "CCExpDate",
                           "UseCC",
                           "CkInfoKey",
                           "MerchantId"}) {
    EXPECT_NE(accounts.FindField(name), nullptr) << name;
  }
  // Calculated fields are computed on reading and never stored.
  const std::pair<const char*, const char*> calculated[] = {
      {"Accounts", "Address"},   {"Accounts", "Name"},       {"Tanks", "Tank Location"},
      {"Tanks", "SerialNumber"}, {"Tanks", "DelStatus"},     {"Tanks", "EstPct"},
      {"Tanks", "DelAddress"},   {"Tanks", "EqDescription"}, {"Transactions", "VisibleDescription"},
  };
  for (const auto& [table, field] : calculated) {
    EXPECT_EQ(Table("UserData", table).FindField(field), nullptr) << table << " " << field;
  }
}

TEST(TableCatalogTest, EveryTableIsWellFormed) {
  std::set<std::string> tables;
  for (const TableDef& table : AllTableDefs()) {
    SCOPED_TRACE(table.alias + "/" + table.name);
    EXPECT_TRUE(tables.insert(ToUpper1252(table.name)).second) << "table named twice";
    EXPECT_TRUE(table.alias == "UserData" || table.alias == "LocalData");
    EXPECT_EQ(FindTableDef(table.alias, table.name), &table);
    ASSERT_FALSE(table.fields.empty());
    std::set<std::string> fields;
    for (const FieldDef& field : table.fields) {
      EXPECT_TRUE(fields.insert(ToUpper1252(field.name)).second) << "twice: " << field.name;
      EXPECT_EQ(table.FindField(field.name), &field);
    }
    std::set<std::string> indexes;
    for (const IndexDef& index : table.indexes) {
      EXPECT_TRUE(indexes.insert(ToUpper1252(index.name)).second) << "twice: " << index.name;
      ASSERT_FALSE(index.fields.empty()) << index.name;
      for (const IndexField& key : index.fields) {
        EXPECT_NE(table.FindField(key.name), nullptr) << index.name << " on " << key.name;
      }
    }
  }
}

// Lookups run before the callers know the stored spelling.
TEST(TableCatalogTest, FieldsAndIndexesAreFoundInAnyCase) {
  const TableDef& accounts = Table("UserData", "Accounts");
  ASSERT_NE(accounts.FindField("accountid"), nullptr);
  EXPECT_EQ(accounts.FindField("accountid")->name, "AccountID");
  EXPECT_EQ(accounts.FindField("CCCUSTKEY")->name, "CcCustkey");
  EXPECT_EQ(accounts.FindField("AccountI"), nullptr);
  const IndexDef* index = accounts.FindIndex("actindex");
  ASSERT_NE(index, nullptr);
  ASSERT_EQ(index->fields.size(), 1u);
  EXPECT_TRUE(index->fields[0].case_insensitive);
  EXPECT_EQ(accounts.FindIndex("NoSuchIndex"), nullptr);

  // The account page lists invoices newest first within the account.
  const IndexDef* newest_first = Table("UserData", "Invoices").FindIndex("IRevAccountKey");
  ASSERT_NE(newest_first, nullptr);
  ASSERT_EQ(newest_first->fields.size(), 3u);
  EXPECT_FALSE(newest_first->fields[0].descending);
  EXPECT_TRUE(newest_first->fields[1].descending);
  EXPECT_TRUE(newest_first->fields[2].descending);
}

TEST(FieldTypeTest, DescribesAndClassifiesEveryType) {
  struct Case {
    FieldDef field;
    const char* description;
    bool currency, text, binary, integer;
  };
  const Case cases[] = {
      {IntegerField("a"), "Integer", false, false, false, true},
      {SmallIntField("a"), "SmallInt", false, false, false, true},
      {AutoIncField("a"), "AutoInc", false, false, false, true},
      {StringField("a"), "String(20)", false, true, false, false},
      {StringField("a", 30), "String(30)", false, true, false, false},
      {MemoField("a"), "Memo", false, true, false, false},
      {GraphicField("a"), "Graphic", false, false, true, false},
      {BytesField("a", 21), "Bytes(21)", false, false, true, false},
      {BooleanField("a"), "Boolean", false, false, false, false},
      {DateField("a"), "Date", false, false, false, false},
      {TimeField("a"), "Time", false, false, false, false},
      {DateTimeField("a"), "DateTime", false, false, false, false},
      {FloatField("a"), "Float", false, false, false, false},
      {BcdField("a"), "BCD(4)", true, false, false, false},
      {BcdField("a", 2), "BCD(2)", true, false, false, false},
      {MoneyField("a"), "Money", true, false, false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.description);
    EXPECT_EQ(DescribeFieldType(c.field), c.description);
    EXPECT_EQ(IsCurrencyType(c.field.type), c.currency);
    EXPECT_EQ(IsTextType(c.field.type), c.text);
    EXPECT_EQ(IsBinaryType(c.field.type), c.binary);
    EXPECT_EQ(IsIntegerType(c.field.type), c.integer);
  }
}

}  // namespace
}  // namespace portavel
