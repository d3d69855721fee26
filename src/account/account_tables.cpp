#include "account/account_tables.h"

#include <array>
#include <string>
#include <vector>

#include "text/cp1252.h"

namespace portavel {
namespace {

std::string Trimmed(DataSet& data, const char* field) {
  return std::string(Trim(data.FieldByName(field).AsString()));
}

// Every part is joined with one blank, even an empty one; only the ends
// are trimmed.
template <size_t N>
std::string JoinedTrimmed(DataSet& data, const std::array<const char*, N>& fields) {
  std::string joined;
  for (size_t i = 0; i < N; ++i) {
    if (i > 0) joined += ' ';
    joined += Trimmed(data, fields[i]);
  }
  return std::string(Trim(joined));
}

HtmlTableColumn Column(const char* field, const char* title, const char* colour = "") {
  HtmlTableColumn column;
  column.field_name = field;
  column.title.caption = title;
  column.bg_color = colour;
  return column;
}

// The stored fields tblTCalcFields works from.
constexpr std::array kTankCalcInputs = {"RteActive",
                                        "FuelinTank",
                                        "SerialNo",
                                        "SerialPrefix",
                                        "SerialSuffix",
                                        "EquipDesc",
                                        "DeliveryStatus",
                                        "DeliveryStreetNo",
                                        "DeliveryStreetName",
                                        "DeliveryAddressline2",
                                        "DeliveryAddressline3",
                                        "DeliveryCity",
                                        "DeliveryState",
                                        "DeliveryZip"};

// A producer's data set reads with each row only the fields its columns
// show and `inputs`; any other field is read when some code asks for it.
// A tank has about 140 fields and an invoice 60, of which the page shows
// ten.
template <size_t N>
void ReadShownFieldsWithRow(HtmlTableProducer& producer, const std::array<const char*, N>& inputs) {
  if (!producer.data_set) return;
  std::vector<std::string> names(inputs.begin(), inputs.end());
  for (const HtmlTableColumn& column : producer.columns) names.push_back(column.field_name);
  producer.data_set->SetFieldsReadWithRow(std::move(names));
}

}  // namespace

std::string DeliveryStatusText(int64_t code) {
  static const char* const kTexts[] = {
      "Normal",           "Out of Fuel", "Low on Fuel",        "On Hold",          "Credit Hold",
      "Request for Fuel", "Office Hold", "Short Fill Request", "Office Request",   "New Customer",
      "Called",           "Emailed",     "Email Confirmed",    "Internet Request",
  };
  return code >= 1 && code <= 14 ? kTexts[code - 1] : "";
}

void tblACalcFields(DataSet& account) {
  account.FieldByName("Name").SetString(
      JoinedTrimmed(account, std::array{"BillToFname", "BillToLname"}));
  account.FieldByName("Address").SetString(JoinedTrimmed(
      account, std::array{"StreetNo", "StreetName", "Addressline2", "City", "State", "Zip"}));
}

void tblTCalcFields(DataSet& tank) {
  if (tank.FieldByName("RteActive").AsBoolean()) {
    tank.FieldByName("EstPct").SetString("N/A");
  } else if (!tank.FieldByName("FuelinTank").IsNull()) {
    tank.FieldByName("EstPct").SetString(tank.FieldByName("FuelinTank").AsString());
  }
  Field& serial_no = tank.FieldByName("SerialNo");
  std::string serial = serial_no.IsNull() ? tank.FieldByName("SerialPrefix").AsString() +
                                                tank.FieldByName("SerialSuffix").AsString()
                                          : Trimmed(tank, "SerialPrefix") + serial_no.AsString() +
                                                Trimmed(tank, "SerialSuffix");
  tank.FieldByName("SerialNumber").SetString(std::string(Trim(serial)));
  tank.FieldByName("DelAddress")
      .SetString(JoinedTrimmed(tank, std::array{"DeliveryStreetNo", "DeliveryStreetName",
                                                "DeliveryAddressline2", "DeliveryAddressline3",
                                                "DeliveryCity", "DeliveryState", "DeliveryZip"}));
  tank.FieldByName("EqDescription").SetString(tank.FieldByName("EquipDesc").AsString());
  tank.FieldByName("DelStatus")
      .SetString(DeliveryStatusText(tank.FieldByName("DeliveryStatus").AsInteger()));
}

void DeclareAccountTable(DataSet& tblA) {
  tblA.AddCalculatedField(StringField("Address", 80));
  tblA.AddCalculatedField(StringField("Name", 40));
  tblA.SetOnCalcFields(tblACalcFields);
  for (const char* field : {"Balance", "Current", "OverSixty", "OverThirty", "OverNinety"}) {
    tblA.SetDisplayFormat(field, "#,###,###.00");
  }
}

void DeclareTankAndInvoiceTables(DataSet& tblA, DataSet& tblT, DataSet& tblI) {
  tblT.SetIndexName("AcctIndex");
  tblT.SetMasterLink(&tblA, {"AccountID"}, {"AccountID"});
  tblT.AddCalculatedField(StringField("Tank Location", 120));
  tblT.AddCalculatedField(StringField("SerialNumber", 30));
  tblT.AddCalculatedField(StringField("EqDescription", 8192));
  tblT.AddCalculatedField(StringField("DelAddress", 120));
  tblT.AddCalculatedField(StringField("DelStatus", 50));
  tblT.AddCalculatedField(StringField("EstPct", 5));
  tblT.SetOnCalcFields(tblTCalcFields);
  tblT.SetDisplayFormat("DeliverydateofReturn", "mm-dd-yy");
  tblT.SetDisplayFormat("NextRentalDate", "mm-dd-yy");

  tblI.SetIndexName("IRevAccountKey");
  tblI.SetMasterLink(&tblA, {"Accountkey"}, {"AccountIndex"});
  for (const char* field : {"Subtotal", "Taxtotal", "InvTotal", "PaymentTotal", "DiscountAmount"}) {
    tblI.SetDisplayFormat(field, "#,###.00");
  }
  tblI.SetDisplayFormat("Gallons", "#,###.0");
  tblI.SetDisplayFormat("InvDate", "mm-dd-yy");
}

void DeclareAccountProducers(HtmlTableProducer& TPAccount, HtmlTableProducer& TPTanks,
                             HtmlTableProducer& TPInvoices, bool reduced_portal) {
  TPAccount.max_rows = 1;
  TPAccount.table_attributes.border = 1;
  TPAccount.footer = {"</body>", "</html>"};
  TPAccount.columns = {
      Column("AccountID", "Account #"),       Column("Name", "Name"),
      Column("Address", "Address"),           Column("Phone", "Phone"),
      Column("OverNinety", "Over Ninety"),    Column("OverSixty", "Over Sixty"),
      Column("OverThirty", "Over Thirty"),    Column("Current", "Current"),
      Column("Balance", "Balance", "Yellow"),
  };

  TPTanks.table_attributes.bg_color = "Aqua";
  TPTanks.table_attributes.border = 1;
  TPTanks.columns = {
      Column("Tankindex", "Tank #", "Teal"),
      Column("Size", "Size"),
      Column("SerialNumber", "Serial #"),
      Column("DelAddress", "Delivery Address"),
      Column("Manufacturer", "Manufacturer"),
      Column("EqDescription", "Description"),
      Column("EstPct", "Estimated Tank %", "Yellow"),
      Column("Ownedby", "Owned By"),
      Column("DeliveryType", "Delivery Type"),
      Column("DelStatus", "Delivery Status"),
  };
  // TPTanksFormatCell: an empty cell would collapse in old browsers.
  TPTanks.on_format_cell = [](int, int, std::string&, HtmlAlign&, HtmlVAlign&, std::string&,
                              std::string& cell_data) {
    if (cell_data.empty()) cell_data = "&nbsp";
  };
  if (reduced_portal) {
    for (auto column = TPTanks.columns.begin(); column != TPTanks.columns.end(); ++column) {
      if (column->field_name == "EqDescription") {
        TPTanks.columns.erase(column);
        break;
      }
    }
  }

  TPInvoices.max_rows = -1;
  TPInvoices.columns = {
      Column("InvoiceNo", "Invoice #"),
      Column("InvDate", "Date"),
      Column("InvType", "Description"),
      Column("Gallons", "Gallons"),
      Column("DiscountAmount", "Discount"),
      Column("Subtotal", "Subtotal"),
      Column("Taxtotal", "Tax"),
      Column("InvTotal", "Invoice Total"),
      Column("PaymentTotal", "Payment Total"),
  };
  // TPInvoicesFormatCell: texts to the left, numbers to the right.
  TPInvoices.on_format_cell = [](int, int column, std::string&, HtmlAlign& align, HtmlVAlign&,
                                 std::string&, std::string&) {
    align = column <= 2 ? HtmlAlign::kLeft : HtmlAlign::kRight;
  };
  ReadShownFieldsWithRow(TPTanks, kTankCalcInputs);
  ReadShownFieldsWithRow(TPInvoices, std::array<const char*, 0>{});
}

}  // namespace portavel
