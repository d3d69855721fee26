#include "data/data_set.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <functional>
#include <string>
#include <vector>

#include "data/query.h"
#include "data/store.h"
#include "support/temp_store.h"

namespace portavel {
namespace {

using testing::TempStore;

Money M(std::string_view text) {
  return *Money::Parse(text);
}
DateTime D(int y, int m, int d) {
  return *DateTime::FromCivil(y, m, d);
}

// What SQLite itself holds in a column, to check how values are kept.
std::string StoredType(Store& store, const std::string& sql) {
  Query q(store, "UserData", "SELECT typeof(" + sql + ")");
  q.Open();
  return q.Column(0).AsString();
}

std::vector<int64_t> Column(DataSet& data, const char* field) {
  std::vector<int64_t> values;
  for (data.First(); !data.Eof(); data.Next())
    values.push_back(data.FieldByName(field).AsInteger());
  return values;
}

class DataSetTest : public ::testing::Test {
 protected:
  TempStore temp;
  Store& store = temp.store();
};

TEST_F(DataSetTest, TablesAndAliasesAreFoundWithoutRegardToCaseOrExtension) {
  temp.Insert("Invoices", {{"InvoiceKey", Value::Integer(7)}});
  for (const char* name : {"Invoices", "Invoices.DB", "invoices.db", " INVOICES "}) {
    DataSet data(store, "USERDATA", name);
    data.Open();
    EXPECT_EQ(data.RecordCount(), 1) << name;
    EXPECT_EQ(data.FieldByName("invoicekey").AsInteger(), 7) << name;
  }
  EXPECT_THROW(DataSet(store, "UserData", "NoSuchTable"), StoreError);
  EXPECT_THROW(DataSet(store, "NoSuchAlias", "Invoices"), StoreError);
  // Taxes lives in the per-installation database only.
  EXPECT_THROW(DataSet(store, "UserData", "Taxes.DB"), StoreError);
  DataSet taxes(store, "localdata", "Taxes.DB");
  EXPECT_NO_THROW(taxes.Open());
}

TEST_F(DataSetTest, FieldTypesKeepTheirValuesAndNullRules) {
  temp.Insert("Accounts", {{"AccountIndex", Value::Integer(1)},
                           {"AccountID", Value::Text("A1")},
                           {"Balance", Value::Currency(M("1234.565"))},
                           {"BillToFname", Value::Text("")},
                           {"WALPW", Value::Bytes("secret")}});
  DataSet a(store, "UserData", "Accounts");
  a.Open();
  // BCD(2) keeps two decimals, rounded half away from zero.
  EXPECT_EQ(a.FieldByName("Balance").AsMoney(), M("1234.57"));
  // Text set to "" is null, and null reads as "", 0 and "no date".
  EXPECT_TRUE(a.FieldByName("BillToFname").IsNull());
  EXPECT_EQ(a.FieldByName("BillToFname").AsString(), "");
  EXPECT_EQ(a.FieldByName("Termskey").AsInteger(), 0);
  EXPECT_EQ(a.FieldByName("Current").AsMoney(), Money());
  // Bytes(21) keeps exactly 21 bytes.
  EXPECT_EQ(a.FieldByName("WALPW").AsBytes(), std::string("secret") + std::string(15, '\0'));
  EXPECT_EQ(StoredType(store, "(SELECT BillToFname FROM Accounts)"), "null");
  EXPECT_EQ(StoredType(store, "(SELECT Balance FROM Accounts)"), "integer");

  temp.Insert("Tanks", {{"Tankindex", Value::Integer(1)},
                        {"RteActive", Value::Boolean(true)},
                        {"Holdtill", Value::Date(D(2026, 12, 10))},
                        {"LocNo", Value::Float(2.5)},
                        {"TicketCommentDate",
                         Value::DateTimeValue(*DateTime::FromCivil(2026, 1, 2, 13, 4, 5))},
                        {"StopTime", Value::Time(*DateTime::FromCivil(1899, 12, 30, 7, 8, 9))}});
  DataSet t(store, "UserData", "Tanks");
  t.Open();
  EXPECT_TRUE(t.FieldByName("RteActive").AsBoolean());
  EXPECT_FALSE(t.FieldByName("CallAhead").AsBoolean());
  EXPECT_EQ(t.FieldByName("Holdtill").AsDateTime(), D(2026, 12, 10));
  EXPECT_TRUE(t.FieldByName("Lastpainted").AsDateTime().IsNoDate());
  EXPECT_EQ(t.FieldByName("LocNo").AsFloat(), 2.5);
  EXPECT_EQ(t.FieldByName("TicketCommentDate").AsDateTime(),
            *DateTime::FromCivil(2026, 1, 2, 13, 4, 5));
  EXPECT_EQ(t.FieldByName("StopTime").AsDateTime().hour(), 7);
}

TEST_F(DataSetTest, StringFieldsAreCutToTheirSizeAndIntegersRangeChecked) {
  DataSet a(store, "UserData", "Accounts");
  a.Open();
  a.Append();
  a.FieldByName("State").SetString("Maine");
  EXPECT_THROW(a.FieldByName("Termskey").SetInteger(int64_t{1} << 40), StoreError);
  a.Post();
  EXPECT_EQ(a.FieldByName("State").AsString(), "Ma");
}

TEST_F(DataSetTest, CurrencySumsAndDateComparisonsAreExactInSql) {
  // 0.01 added ten thousand times would drift in binary floating point.
  for (int i = 0; i < 300; ++i) {
    temp.Insert("Invoices", {{"InvoiceKey", Value::Integer(i)},
                             {"Accountkey", Value::Integer(1)},
                             {"InvTotal", Value::Currency(M("0.1"))},
                             {"InvDate", Value::Date(D(2026, 1 + i % 12, 1 + i % 28))}});
  }
  Query sum(store, "UserData",
            "select sum(InvTotal) as SIT from Invoices where AccountKey = :k and InvDate <= :d");
  sum.SetParam("K", Value::Integer(1));
  sum.SetParam(":d", Value::Date(D(2026, 12, 31)));
  sum.Open();
  EXPECT_EQ(sum.FieldByName("sit").AsMoney(), M("30"));

  // Dates before and after 2026-10-01: October and later are the last three months.
  Query late(store, "UserData", "select count(*) from Invoices where InvDate >= :d");
  late.SetParam("d", Value::Date(D(2026, 10, 1)));
  late.Open();
  EXPECT_EQ(late.Column(0).AsInteger(), 75);
}

TEST_F(DataSetTest, FiltersCompareWholeValuesAndCanIgnoreCase) {
  temp.Insert("Accounts",
              {{"AccountIndex", Value::Integer(1)}, {"AccountID", Value::Text("SMITH01")}});
  temp.Insert("Accounts",
              {{"AccountIndex", Value::Integer(2)}, {"AccountID", Value::Text("\xC9LAN")}});
  temp.Insert("Accounts",
              {{"AccountIndex", Value::Integer(3)}, {"AccountID", Value::Text("O'Neil")}});
  struct Case {
    const char* typed;
    bool case_insensitive;
    std::vector<int64_t> found;
  } cases[] = {
      {"smith01", true, {1}}, {"smith01", false, {}}, {"SMITH01", false, {1}},
      {"\xE9lan", true, {2}}, {"O'Neil", false, {3}}, {"x' OR '1'='1", true, {}},
      {"SMITH", true, {}},    {"%", true, {}},
  };
  for (const Case& c : cases) {
    DataSet a(store, "UserData", "Accounts.DB");
    a.AddFilter("AccountID", Value::Text(c.typed), c.case_insensitive);
    a.Open();
    EXPECT_EQ(Column(a, "AccountIndex"), c.found) << c.typed;
  }
}

// A value from a request longer than the field must not be cut to the
// field's size before comparing: it would then open the account whose ID is
// its first 30 characters.
TEST_F(DataSetTest, ValuesLongerThanTheFieldMatchNothing) {
  const std::string thirty = "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123";
  const std::string longer = thirty + "4";
  temp.Insert("Accounts", {{"AccountIndex", Value::Integer(1)},
                           {"AccountID", Value::Text(thirty)},
                           {"WALPW", Value::Bytes("Secret 1")}});
  const std::string stored_password = std::string("Secret 1") + std::string(13, '\0');
  struct Case {
    const char* field;
    Value typed;
    bool case_insensitive;
    std::vector<int64_t> found;
  } cases[] = {
      {"AccountID", Value::Text(thirty), false, {1}},
      {"AccountID", Value::Text(longer), false, {}},
      {"AccountID", Value::Text(longer), true, {}},
      {"WALPW", Value::Bytes("Secret 1"), false, {1}},
      {"WALPW", Value::Bytes(stored_password + "x"), false, {}},
  };
  for (const Case& c : cases) {
    DataSet a(store, "UserData", "Accounts.DB");
    a.AddFilter(c.field, c.typed, c.case_insensitive);
    a.Open();
    EXPECT_EQ(Column(a, "AccountIndex"), c.found) << c.typed.AsBytes();

    a.ClearFilters();
    EXPECT_EQ(a.Locate({{c.field, c.typed}}, c.case_insensitive), !c.found.empty())
        << c.typed.AsBytes();
  }
  DataSet by_id(store, "UserData", "Accounts.DB");
  by_id.SetIndexName("ActIndex");
  by_id.SetRange({Value::Text(longer)}, {Value::Text(longer)});
  by_id.Open();
  EXPECT_TRUE(by_id.IsEmpty());
  by_id.SetRange({Value::Text(thirty)}, {Value::Text(longer)});
  EXPECT_EQ(by_id.RecordCount(), 1);

  // Writing still cuts to the field's size.
  by_id.Edit();
  by_id.FieldByName("AccountID").SetString(longer);
  by_id.Post();
  EXPECT_EQ(by_id.FieldByName("AccountID").AsString(), thirty);
}

TEST_F(DataSetTest, NavigationAndCounts) {
  DataSet empty(store, "UserData", "Tanks");
  empty.Open();
  EXPECT_TRUE(empty.IsEmpty());
  EXPECT_TRUE(empty.Eof());
  EXPECT_TRUE(empty.Bof());

  for (int k : {30, 10, 20}) temp.Insert("Tanks", {{"Tankindex", Value::Integer(k)}});
  DataSet t(store, "UserData", "Tanks");
  t.SetIndexFieldNames("Tankindex");
  t.Open();
  EXPECT_EQ(t.RecordCount(), 3);
  EXPECT_EQ(t.FieldByName("Tankindex").AsInteger(), 10);
  t.Next();
  t.Next();
  EXPECT_FALSE(t.Eof());
  t.Next();
  EXPECT_TRUE(t.Eof());
  EXPECT_EQ(t.FieldByName("Tankindex").AsInteger(), 30);  // stays on the last row
  t.Prior();
  EXPECT_EQ(t.FieldByName("Tankindex").AsInteger(), 20);
  t.First();
  t.Prior();
  EXPECT_TRUE(t.Bof());
  t.Last();
  EXPECT_EQ(t.FieldByName("Tankindex").AsInteger(), 30);
}

// A set of many rows is not read whole to open it, find a row by key or
// add one: it is read whole only when a move needs its order. Whichever
// way it was read, the rows, their order and each move's position are
// those of the set read whole.
TEST_F(DataSetTest, ALargeSetMovesAsIfReadWhole) {
  // Batches 1 to 1200; the odd ones (600 of them) are card batches.
  store.Execute("UserData",
                "INSERT INTO Manifest (BatchKey, BatchType) WITH RECURSIVE n(k) AS (SELECT 1 "
                "UNION ALL SELECT k + 1 FROM n WHERE k < 1200) "
                "SELECT k, CASE WHEN k % 2 = 1 THEN 2 ELSE 4 END FROM n ORDER BY k DESC");
  std::vector<int64_t> odd;
  for (int64_t k = 1; k <= 1200; k += 2) odd.push_back(k);
  DataSet cards(store, "UserData", "Manifest");
  cards.SetIndexName("ByBatchKey");
  cards.AddFilter("BatchType", Value::Integer(2));
  auto key = [&cards] { return cards.FieldByName("BatchKey").AsInteger(); };

  cards.Open();
  EXPECT_FALSE(cards.IsEmpty());
  EXPECT_EQ(Column(cards, "BatchKey"), odd);
  EXPECT_EQ(cards.RecordCount(), 600);
  cards.Close();

  // A row found by key, far down the set: the moves from it.
  struct Move {
    const char* name;
    std::function<void(DataSet&)> move;
    int64_t key;
    bool eof;
    bool bof;
  };
  const std::vector<Move> moves = {
      {"Next", [](DataSet& d) { d.Next(); }, 1003, false, false},
      {"Prior", [](DataSet& d) { d.Prior(); }, 999, false, false},
      {"Last", [](DataSet& d) { d.Last(); }, 1199, true, false},
      {"First", [](DataSet& d) { d.First(); }, 1, false, true},
      {"Refresh", [](DataSet& d) { d.Refresh(); }, 1001, false, false},
  };
  for (const Move& m : moves) {
    cards.Open();
    ASSERT_TRUE(cards.Locate({{"BatchKey", Value::Integer(1001)}})) << m.name;
    EXPECT_FALSE(cards.Eof() || cards.Bof()) << m.name;
    m.move(cards);
    EXPECT_EQ(key(), m.key) << m.name;
    EXPECT_EQ(cards.Eof(), m.eof) << m.name;
    EXPECT_EQ(cards.Bof(), m.bof) << m.name;
    cards.Close();
  }

  // A row added to the set stands in its place; one that does not belong
  // to it is written, and the set stays as it was.
  cards.Open();
  cards.Insert();
  cards.FieldByName("BatchKey").SetInteger(1000);
  cards.FieldByName("BatchType").SetInteger(2);
  cards.Post();
  EXPECT_EQ(key(), 1000);
  cards.Next();
  EXPECT_EQ(key(), 1001);
  cards.Prior();
  cards.Prior();
  EXPECT_EQ(key(), 999);
  cards.Insert();
  cards.FieldByName("BatchKey").SetInteger(2000);
  cards.FieldByName("BatchType").SetInteger(4);
  cards.Post();
  EXPECT_EQ(cards.RecordCount(), 601);

  // Deleting a row found by key leaves the set on the row after it.
  ASSERT_TRUE(cards.Locate({{"BatchKey", Value::Integer(1001)}}));
  cards.Delete();
  EXPECT_EQ(key(), 1003);
  cards.Prior();
  EXPECT_EQ(key(), 1000);
  EXPECT_EQ(cards.RecordCount(), 600);

  // Changing the filter reads the new set.
  cards.ClearFilters();
  cards.AddFilter("BatchType", Value::Integer(4));
  EXPECT_EQ(cards.RecordCount(), 601);
  cards.Last();
  EXPECT_EQ(key(), 2000);
  Query counted(store, "UserData", "SELECT count(*) FROM Manifest");
  counted.Open();
  EXPECT_EQ(counted.Column(0).AsInteger(), 1201);
}

TEST_F(DataSetTest, MasterDetailFollowsTheMasterInIndexOrder) {
  temp.Insert("Accounts", {{"AccountIndex", Value::Integer(1)}, {"AccountID", Value::Text("A")}});
  temp.Insert("Accounts", {{"AccountIndex", Value::Integer(2)}, {"AccountID", Value::Text("B")}});
  temp.Insert("Invoices", {{"InvoiceKey", Value::Integer(11)},
                           {"Accountkey", Value::Integer(1)},
                           {"InvDate", Value::Date(D(2026, 1, 5))}});
  temp.Insert("Invoices", {{"InvoiceKey", Value::Integer(12)},
                           {"Accountkey", Value::Integer(1)},
                           {"InvDate", Value::Date(D(2026, 3, 5))}});
  temp.Insert("Invoices", {{"InvoiceKey", Value::Integer(21)},
                           {"Accountkey", Value::Integer(2)},
                           {"InvDate", Value::Date(D(2026, 2, 5))}});
  temp.Insert("Invoices", {{"InvoiceKey", Value::Integer(13)},
                           {"Accountkey", Value::Integer(1)},
                           {"InvDate", Value::Date(D(2026, 2, 5))}});

  DataSet accounts(store, "UserData", "Accounts.DB");
  accounts.SetIndexName("ActIndex");
  DataSet invoices(store, "UserData", "Invoices.DB");
  invoices.SetIndexName("IRevAccountKey");
  invoices.SetMasterLink(&accounts, {"Accountkey"}, {"AccountIndex"});
  invoices.Open();
  EXPECT_TRUE(invoices.IsEmpty());  // the master is closed

  accounts.Open();
  EXPECT_EQ(Column(invoices, "InvoiceKey"), (std::vector<int64_t>{12, 13, 11}));  // newest first
  accounts.Next();
  EXPECT_EQ(Column(invoices, "InvoiceKey"), (std::vector<int64_t>{21}));
  accounts.Close();
  EXPECT_TRUE(invoices.IsEmpty());
}

TEST_F(DataSetTest, RangeRestrictsTheLeadingIndexFields) {
  for (int k = 1; k <= 6; ++k) temp.Insert("Manifest", {{"BatchKey", Value::Integer(k)}});
  DataSet batches(store, "UserData", "Manifest");
  batches.SetIndexFieldNames("BatchKey");
  batches.SetRange({Value::Integer(2)}, {Value::Integer(4)});
  batches.Open();
  EXPECT_EQ(Column(batches, "BatchKey"), (std::vector<int64_t>{2, 3, 4}));
  batches.CancelRange();
  EXPECT_EQ(batches.RecordCount(), 6);
}

TEST_F(DataSetTest, LocateFindsTheFirstMatchAndKeepsThePositionOtherwise) {
  temp.Insert("Keys", {{"TableName", Value::Text("Invoices")},
                       {"FieldName", Value::Text("InvoiceKey")},
                       {"NextNumber", Value::Integer(5)}});
  temp.Insert("Keys", {{"TableName", Value::Text("manifest")},
                       {"FieldName", Value::Text("batchkey")},
                       {"NextNumber", Value::Integer(9)}});
  DataSet keys(store, "UserData", "Keys.db");
  keys.Open();
  EXPECT_TRUE(keys.Locate(
      {{"TableName", Value::Text("Manifest")}, {"FieldName", Value::Text("BatchKey")}}, true));
  EXPECT_EQ(keys.FieldByName("NextNumber").AsInteger(), 9);
  EXPECT_FALSE(keys.Locate({{"TableName", Value::Text("Manifest")}}, false));
  EXPECT_EQ(keys.FieldByName("NextNumber").AsInteger(), 9);
}

TEST_F(DataSetTest, PostWritesOnlyTheChangedFields) {
  temp.Insert("Accounts", {{"AccountIndex", Value::Integer(1)}, {"AccountID", Value::Text("A")}});
  DataSet first(store, "UserData", "Accounts");
  DataSet second(store, "UserData", "Accounts");
  first.Open();
  second.Open();
  first.Edit();
  first.FieldByName("Email").SetString("a@example.com");
  second.Edit();
  second.FieldByName("Phone").SetString("555-0100");
  second.Post();
  first.Post();  // must not put back the phone it read before
  DataSet check(store, "UserData", "Accounts");
  check.Open();
  EXPECT_EQ(check.FieldByName("Email").AsString(), "a@example.com");
  EXPECT_EQ(check.FieldByName("Phone").AsString(), "555-0100");
}

TEST_F(DataSetTest, EditCancelInsertDeleteAndTheirHooks) {
  DataSet tanks(store, "UserData", "Tanks");
  std::vector<int64_t> deleted;
  tanks.SetOnNewRecord([](DataSet& d) { d.FieldByName("DeliveryStatus").SetInteger(1); });
  tanks.SetBeforeDelete(
      [&deleted](DataSet& d) { deleted.push_back(d.FieldByName("Tankindex").AsInteger()); });
  tanks.AddCalculatedField(StringField("Label", 30));
  tanks.SetOnCalcFields([](DataSet& d) {
    d.FieldByName("Label").SetString("Tank " + d.FieldByName("Tankindex").AsString());
  });
  tanks.SetIndexFieldNames("Tankindex");
  tanks.Open();
  tanks.Insert();
  tanks.FieldByName("Tankindex").SetInteger(5);
  tanks.Post();
  EXPECT_EQ(tanks.FieldByName("DeliveryStatus").AsInteger(), 1);
  EXPECT_EQ(tanks.FieldByName("Label").AsString(), "Tank 5");

  tanks.Edit();
  tanks.FieldByName("Tankindex").SetInteger(6);
  tanks.Cancel();
  EXPECT_EQ(tanks.FieldByName("Tankindex").AsInteger(), 5);
  EXPECT_THROW(tanks.FieldByName("Tankindex").SetInteger(7), StoreError);  // not editing

  tanks.Delete();
  EXPECT_EQ(deleted, (std::vector<int64_t>{5}));
  EXPECT_TRUE(tanks.IsEmpty());
}

TEST_F(DataSetTest, ReadOnlyAndClosedDataSetsRefuseChanges) {
  temp.Insert("Company", {{"CompanyName", Value::Text("Dealer")}});
  DataSet company(store, "UserData", "Company.DB");
  EXPECT_THROW(company.FieldByName("CompanyName"), StoreError);
  company.SetReadOnly(true);
  company.Open();
  EXPECT_THROW(company.Edit(), StoreError);
  EXPECT_THROW(company.Insert(), StoreError);
  EXPECT_THROW(company.FieldByName("NoSuchField"), StoreError);
}

TEST_F(DataSetTest, OpeningATableWithoutADeclaredFieldFails) {
  store.Execute("UserData", "DROP TABLE Company");
  store.Execute("UserData", "CREATE TABLE Company (Phone VARCHAR(20), CompanyName VARCHAR(50))");
  DataSet company(store, "UserData", "Company");
  EXPECT_THROW(company.Open(), StoreError);
}

TEST_F(DataSetTest, DisplayTextFollowsTheDisplayFormat) {
  temp.Insert("Invoices", {{"InvoiceKey", Value::Integer(1)},
                           {"InvTotal", Value::Currency(M("1234.5"))},
                           {"Gallons", Value::Currency(M("-0.25"))},
                           {"InvDate", Value::Date(D(2026, 3, 5))}});
  DataSet invoices(store, "UserData", "Invoices");
  invoices.SetDisplayFormat("InvTotal", "#,###.00");
  invoices.SetDisplayLabel("InvTotal", "Invoice Total");
  invoices.Open();
  invoices.SetDisplayFormat("Gallons", "#,###.0");
  invoices.SetDisplayFormat("InvDate", "mm-dd-yy");
  invoices.SetDisplayFormat("Subtotal", "#,###.00");
  EXPECT_EQ(invoices.FieldByName("InvTotal").DisplayText(), "1,234.50");
  EXPECT_EQ(invoices.FieldByName("Gallons").DisplayText(), "-.3");
  EXPECT_EQ(invoices.FieldByName("InvDate").DisplayText(), "03-05-26");
  EXPECT_EQ(invoices.FieldByName("Subtotal").DisplayText(), "");  // null prints empty
  EXPECT_EQ(invoices.FieldByName("InvoiceKey").DisplayText(), "1");
  EXPECT_EQ(invoices.FieldByName("InvTotal").display_label(), "Invoice Total");
  EXPECT_EQ(invoices.FieldByName("InvoiceNo").display_label(), "InvoiceNo");
}

TEST_F(DataSetTest, RefreshSeesOtherWritersAndKeepsThePosition) {
  for (int k : {10, 20}) temp.Insert("Tanks", {{"Tankindex", Value::Integer(k)}});
  DataSet tanks(store, "UserData", "Tanks");
  tanks.SetIndexFieldNames("Tankindex");
  tanks.Open();
  tanks.Next();
  Store other(temp.paths());  // another process's connection
  DataSet writer(other, "UserData", "Tanks");
  writer.Open();
  writer.Append();
  writer.FieldByName("Tankindex").SetInteger(5);
  writer.Post();
  writer.Locate({{"Tankindex", Value::Integer(20)}});
  writer.Edit();
  writer.FieldByName("FuelinTank").SetInteger(55);
  writer.Post();

  EXPECT_EQ(tanks.FieldByName("FuelinTank").AsInteger(), 0);
  tanks.Refresh();
  EXPECT_EQ(tanks.RecordCount(), 3);
  EXPECT_EQ(tanks.FieldByName("Tankindex").AsInteger(), 20);
  EXPECT_EQ(tanks.FieldByName("FuelinTank").AsInteger(), 55);
}

// A walk reads rows ahead; what this connection writes meanwhile, through
// another data set or a query, shows on the rows it moves on to, and rows
// another process adds stay out until the set is read again.
// Whether the set reads every field with a row, or only some and lists
// its rows whole with them when it opens.
class DataSetWalkTest : public DataSetTest, public ::testing::WithParamInterface<bool> {
 protected:
  void ChooseFields(DataSet& data) {
    if (GetParam()) data.SetFieldsReadWithRow({"Tankindex", "FuelinTank"});
  }
};
INSTANTIATE_TEST_SUITE_P(RowReads, DataSetWalkTest, ::testing::Values(false, true),
                         [](const auto& info) {
                           return info.param ? "ChosenFields" : "AllFields";
                         });

TEST_P(DataSetWalkTest, AWalkSeesWhatTheConnectionWritesMeanwhile) {
  for (int k = 1; k <= 40; ++k) {
    temp.Insert("Tanks", {{"Tankindex", Value::Integer(k)}, {"FuelinTank", Value::Integer(k)}});
  }
  DataSet tanks(store, "UserData", "Tanks");
  ChooseFields(tanks);
  tanks.SetIndexFieldNames("Tankindex");
  tanks.Open();
  tanks.Next();
  tanks.Next();  // rows ahead of the third are read now
  DataSet writer(store, "UserData", "Tanks");
  writer.Open();
  ASSERT_TRUE(writer.Locate({{"Tankindex", Value::Integer(4)}}));
  writer.Edit();
  writer.FieldByName("FuelinTank").SetInteger(99);
  writer.Post();
  store.Execute("UserData", "DELETE FROM Tanks WHERE Tankindex IN (5, 30)");
  Store other(temp.paths());  // another process adds a row
  DataSet adder(other, "UserData", "Tanks");
  adder.Open();
  adder.Append();
  adder.FieldByName("Tankindex").SetInteger(25);
  adder.Post();

  std::vector<int64_t> seen;
  std::vector<int64_t> fuel;
  for (; !tanks.Eof(); tanks.Next()) {
    seen.push_back(tanks.FieldByName("Tankindex").AsInteger());
    fuel.push_back(tanks.FieldByName("FuelinTank").AsInteger());
  }
  std::vector<int64_t> expected_seen;
  for (int k = 3; k <= 40; ++k) {
    if (k != 5 && k != 30) expected_seen.push_back(k);
  }
  EXPECT_EQ(seen, expected_seen);
  ASSERT_GE(fuel.size(), 2u);
  EXPECT_EQ(fuel[1], 99);
  EXPECT_EQ(tanks.RecordCount(), 38);
  tanks.Refresh();
  EXPECT_EQ(tanks.RecordCount(), 39);
}

// Only Next uses the rows read ahead: any other move reads its row from
// the store again.
TEST_P(DataSetWalkTest, MovesOtherThanNextReadTheStore) {
  for (int k : {1, 2, 3}) temp.Insert("Tanks", {{"Tankindex", Value::Integer(k)}});
  DataSet tanks(store, "UserData", "Tanks");
  ChooseFields(tanks);
  tanks.SetIndexFieldNames("Tankindex");
  tanks.Open();
  tanks.Next();  // the third row is read ahead now
  Store other(temp.paths());
  other.Execute("UserData", "UPDATE Tanks SET FuelinTank = 7 WHERE Tankindex IN (1, 3)");
  tanks.Last();
  EXPECT_EQ(tanks.FieldByName("FuelinTank").AsInteger(), 7);
  tanks.First();
  EXPECT_EQ(tanks.FieldByName("FuelinTank").AsInteger(), 7);
}

// Fields read on demand give what a whole-row read gives, and editing,
// incrementing and replacing work on them as on any other.
TEST_F(DataSetTest, FieldsReadOnDemandBehaveAsFieldsReadWithTheRow) {
  temp.Insert("Keys", {{"TableName", Value::Text("Log")}, {"NextNumber", Value::Integer(41)}});
  temp.Insert("Keys", {{"TableName", Value::Text("Batch")}, {"NextNumber", Value::Integer(7)}});
  for (std::vector<std::string> with_row :
       {std::vector<std::string>{}, std::vector<std::string>{"TableName"}}) {
    DataSet keys(store, "UserData", "Keys");
    keys.SetFieldsReadWithRow(with_row);
    keys.SetIndexFieldNames("TableName");
    keys.Open();
    EXPECT_EQ(keys.FieldByName("TableName").AsString(), "Batch");
    EXPECT_EQ(keys.FieldByName("NextNumber").AsInteger(), 7);
    keys.Next();
    EXPECT_EQ(keys.FieldByName("TableName").AsString(), "Log");
    const int64_t before = keys.FieldByName("NextNumber").AsInteger();
    EXPECT_EQ(keys.IncrementField("NextNumber"), before);
    EXPECT_EQ(keys.FieldByName("NextNumber").AsInteger(), before + 1);
    EXPECT_TRUE(keys.ReplaceFieldIfUnchanged("NextNumber", Value::Integer(before + 5)));
    EXPECT_EQ(keys.FieldByName("NextNumber").AsInteger(), before + 5);
    keys.Edit();
    keys.FieldByName("NextNumber").SetInteger(before + 10);
    keys.Post();
    EXPECT_EQ(keys.FieldByName("NextNumber").AsInteger(), before + 10);
  }
  // 41 and 51 at the start of each round.
  Query q(store, "UserData", "SELECT NextNumber FROM Keys WHERE TableName = 'Log'");
  q.Open();
  EXPECT_EQ(q.Column(0).AsInteger(), 61);
}

// Fields are found by name however the name is spelt, and stay found
// through a calculated field added between two opens.
TEST_F(DataSetTest, FieldsFoundByNameFollowTheSetUp) {
  temp.Insert("Tanks", {{"Tankindex", Value::Integer(1)}, {"FuelinTank", Value::Integer(40)}});
  DataSet tanks(store, "UserData", "Tanks");
  tanks.Open();
  Field& fuel = tanks.FieldByName("FuelinTank");
  EXPECT_EQ(&tanks.FieldByName("fuelintank"), &fuel);
  EXPECT_EQ(&tanks.FieldByName("FUELINTANK"), &fuel);
  EXPECT_EQ(tanks.FindField("FuelinTan"), nullptr);
  EXPECT_EQ(tanks.FindField(""), nullptr);
  tanks.Close();
  tanks.AddCalculatedField(StringField("Gauge", 10));
  tanks.SetOnCalcFields([](DataSet& tank) {
    tank.FieldByName("Gauge").SetString(tank.FieldByName("FuelinTank").AsString() + "%");
  });
  tanks.SetDisplayFormat("FUELINTANK", "#,###.0");
  tanks.Open();
  EXPECT_EQ(tanks.FieldByName("Gauge").AsString(), "40%");
  EXPECT_EQ(tanks.FieldByName("fuelintank").DisplayText(), "40.0");
  EXPECT_EQ(tanks.FieldByName("FuelinTank").AsInteger(), 40);
}

TEST_F(DataSetTest, FieldsReadOnDemandStillNeedEveryDeclaredField) {
  store.Execute("UserData", "DROP TABLE Company");
  store.Execute("UserData", "CREATE TABLE Company (Phone VARCHAR(20), CompanyName VARCHAR(50))");
  DataSet company(store, "UserData", "Company");
  company.SetFieldsReadWithRow({});
  EXPECT_THROW(company.Open(), StoreError);
}

TEST_F(DataSetTest, IncrementFieldHandsOutTheOldValue) {
  temp.Insert("Keys", {{"TableName", Value::Text("Log")}, {"NextNumber", Value::Integer(41)}});
  DataSet keys(store, "UserData", "Keys");
  keys.Open();
  EXPECT_EQ(keys.IncrementField("NextNumber"), 41);
  EXPECT_EQ(keys.IncrementField("NextNumber"), 42);
  EXPECT_EQ(keys.FieldByName("NextNumber").AsInteger(), 43);
}

// Every per-account and per-key access must go through an index: the
// portal must not read whole Invoices or Transactions tables.
// Two processes that read the same value: only the first replacement is
// written, the second learns that the value changed underneath it.
TEST_F(DataSetTest, ReplaceFieldIfUnchangedLetsOneOfTwoReadersWrite) {
  temp.Insert("Accounts", {{"AccountIndex", Value::Integer(1)},
                           {"AccountID", Value::Text("SMITH01")},
                           {"WALPW", Value::Bytes("old")}});
  temp.Insert("Accounts",
              {{"AccountIndex", Value::Integer(2)}, {"AccountID", Value::Text("NOPASS")}});
  Store other_process(temp.paths());
  DataSet first(store, "UserData", "Accounts");
  DataSet second(other_process, "UserData", "Accounts");
  for (DataSet* reader : {&first, &second}) {
    reader->Open();
    ASSERT_TRUE(reader->Locate({{"AccountIndex", Value::Integer(1)}}));
  }
  EXPECT_TRUE(first.ReplaceFieldIfUnchanged("WALPW", Value::Bytes("one")));
  EXPECT_EQ(first.FieldByName("WALPW").AsBytes(), std::string("one") + std::string(18, '\0'));
  EXPECT_FALSE(second.ReplaceFieldIfUnchanged("WALPW", Value::Bytes("two")));
  second.Refresh();
  EXPECT_EQ(second.FieldByName("WALPW").AsBytes(), std::string("one") + std::string(18, '\0'));
  // Having read the new value, the second may replace it.
  EXPECT_TRUE(second.ReplaceFieldIfUnchanged("WALPW", Value::Bytes("two")));

  // Bytes another program stored as text are compared as bytes; a null read matches null.
  store.Execute("UserData", "UPDATE Accounts SET WALPW = 'typed' WHERE AccountIndex = 1");
  first.Refresh();
  EXPECT_TRUE(first.ReplaceFieldIfUnchanged("WALPW", Value::Bytes("three")));
  ASSERT_TRUE(first.Locate({{"AccountIndex", Value::Integer(2)}}));
  EXPECT_TRUE(first.ReplaceFieldIfUnchanged("WALPW", Value::Bytes("four")));
  first.Refresh();
  EXPECT_EQ(first.FieldByName("WALPW").AsBytes(), std::string("four") + std::string(17, '\0'));
}

TEST_F(DataSetTest, PerAccountAndPerKeyAccessUsesIndexes) {
  const char* statements[] = {
      "SELECT rowid FROM Invoices WHERE Accountkey = 1 ORDER BY Accountkey, InvDate DESC, "
      "InvoiceKey DESC, rowid",
      "SELECT rowid FROM Invoices WHERE InvoiceKey = 1",
      "SELECT rowid FROM Invoices WHERE BatchKey = 1 ORDER BY BatchKey, rowid",
      "SELECT rowid FROM Transactions WHERE Invoicekey = 1 ORDER BY Invoicekey, rowid",
      "SELECT rowid FROM Transactions WHERE TransKey = 1",
      "SELECT rowid FROM Accounts WHERE AccountID = 'a' COLLATE CP1252_NOCASE",
      "SELECT rowid FROM Tanks WHERE AccountID = 'a' ORDER BY AccountID, Tankindex, rowid",
      "SELECT rowid FROM AppliedTo WHERE PaymentKey = 1",
      "SELECT rowid FROM TransTaxLkUp WHERE TransKey = 1",
  };
  for (const char* sql : statements) {
    Query plan(store, "UserData", std::string("EXPLAIN QUERY PLAN ") + sql);
    std::string detail;
    for (plan.Open(); !plan.Eof(); plan.Next())
      detail += plan.FieldByName("detail").AsString() + "; ";
    EXPECT_EQ(detail.find("SCAN"), std::string::npos) << sql << " -> " << detail;
  }
}

TEST_F(DataSetTest, QueriesBindNamedParametersAndJoin) {
  temp.Insert("Manifest", {{"BatchKey", Value::Integer(3)},
                           {"CcMerchantId", Value::Integer(4)},
                           {"Date", Value::Date(D(2026, 12, 10))}});
  temp.Insert("ccTransactions", {{"CCTransKey", Value::Integer(1)},
                                 {"PayBatchkey", Value::Integer(3)},
                                 {"TransAmount", Value::Currency(M("12.34"))},
                                 {"merchantId", Value::Integer(4)}});
  temp.Insert("ccTransactions", {{"CCTransKey", Value::Integer(2)},
                                 {"PayBatchkey", Value::Integer(3)},
                                 {"TransAmount", Value::Currency(M("0.0001"))},
                                 {"merchantId", Value::Integer(4)}});
  Query q(
      store, "UserData",
      "select c.CCTransKey, c.TransAmount, m.Date from ccTransactions c inner join Manifest m "
      "on c.PayBatchkey = m.BatchKey where c.merchantId = :MerchantId order by c.CCTransKey desc");
  q.SetParam("merchantid", Value::Integer(4));
  q.Open();
  ASSERT_FALSE(q.Eof());
  EXPECT_EQ(q.FieldByName("CCTransKey").AsInteger(), 2);
  EXPECT_EQ(q.FieldByName("TransAmount").AsMoney(), M("0.0001"));
  EXPECT_EQ(q.FieldByName("Date").AsDateTime(), D(2026, 12, 10));
  q.Next();
  EXPECT_EQ(q.FieldByName("TransAmount").AsMoney(), M("12.34"));
  q.Next();
  EXPECT_TRUE(q.Eof());
  EXPECT_THROW(q.SetParam("NoSuchParameter", Value::Integer(1)), StoreError);

  Query insert(store, "UserData", "insert into acct (acctkey, acct) values (:k, :a)");
  insert.SetParam("k", Value::Integer(9));
  insert.SetParam("a", Value::Text("1200'; drop table acct; --"));
  EXPECT_EQ(insert.ExecSql(), 1);
  Query read(store, "UserData", "select acct from acct where acctkey = :k");
  read.SetParam("k", Value::Integer(9));
  read.Open();
  EXPECT_EQ(read.FieldByName("acct").AsString(), "1200'; drop table acct; --");
}

}  // namespace
}  // namespace portavel
