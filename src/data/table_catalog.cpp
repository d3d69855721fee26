#include "data/table_catalog.h"

#include <initializer_list>
#include <string>
#include <utility>

#include "text/cp1252.h"

namespace portavel {
namespace {

constexpr const char* kUserData = "UserData";
constexpr const char* kLocalData = "LocalData";

IndexField Asc(std::string name) {
  return {std::move(name), false, false};
}
IndexField Desc(std::string name) {
  return {std::move(name), true, false};
}
// Account numbers and key-table names are typed in any case.
IndexField NoCase(std::string name) {
  return {std::move(name), false, true};
}

// The fields of `from` with the given names, in the order given, so a
// table that mirrors another keeps its types in step with it.
std::vector<FieldDef> FieldsOf(const TableDef& from,
                               std::initializer_list<std::string_view> names) {
  std::vector<FieldDef> fields;
  for (std::string_view name : names) fields.push_back(*from.FindField(name));
  return fields;
}

// The preferences row is shared whole with the desktop program, so every
// field exists even where nothing here reads it.
TableDef RemotePrefsTable() {
  return {kUserData,
          "RemotePrefs",
          {
              IntegerField("RemotePrefsKey"),
              BooleanField("ShowStdTB"),
              BooleanField("ShowNavTB"),
              BooleanField("ShowDrawTB"),
              BooleanField("ShowLocTB"),
              BooleanField("ShowmapsvDlg"),
              BooleanField("UseCustomCheck"),
              BooleanField("UseCustomStat"),
              BooleanField("UseCustomInv"),
              IntegerField("StatementOrder"),
              IntegerField("DefaulttoOI"),
              IntegerField("DefaultReturnPercent"),
              IntegerField("StatDays"),
              IntegerField("AutoDropASN"),
              IntegerField("SummerorWinter"),
              IntegerField("AutoGenFin"),
              IntegerField("AutoAddTank"),
              IntegerField("NumberofDecCost"),
              IntegerField("NumberofDecimals"),
              StringField("DefaultBankAccount", 9),
              IntegerField("AutoDelCrHold"),
              IntegerField("UseAPGL"),
              IntegerField("Over1"),
              IntegerField("Over2"),
              IntegerField("Over3"),
              IntegerField("UseGL"),
              IntegerField("UsePR"),
              IntegerField("UsePOS"),
              SmallIntField("FCProdGroupID"),
              SmallIntField("TicketFormat"),
              StringField("DefaultStatement", 20),
              StringField("FCProdName", 31),
              StringField("UseUST", 3),
              StringField("ShowGasCheck", 3),
              StringField("FcProdID", 15),
              BcdField("StatMinBal", 4),
              BcdField("FcMinBal", 2),
              BcdField("FcRate", 4),
              BcdField("FcMin", 2),
              StringField("FCProdTypeID", 9),
              IntegerField("FCProdKey"),
              IntegerField("AutoGenRent"),
              DateField("AgeFrom"),
              IntegerField("DefaultNullRoute"),
              StringField("DefaultDiscountAccount", 9),
              StringField("DefaultARAccount", 9),
              StringField("DefaultAPAccount", 9),
              StringField("DefaultPurchDiscAcct", 9),
              StringField("FCProdTypeName", 15),
              StringField("Tag1Label", 20),
              StringField("Tag2Label", 20),
              StringField("Tag3Label", 20),
              StringField("Tag4Label", 20),
              StringField("Tag5Label", 20),
              StringField("Tag6Label", 20),
              DateField("StatementDate"),
              BooleanField("AutoRestore"),
              BooleanField("HasFRAMS"),
              BooleanField("UseSecurity"),
              IntegerField("APCheckType"),
              IntegerField("VendorLkUpDefault"),
              IntegerField("PriceOnDelTicket"),
              IntegerField("SerialOnInvoice"),
              IntegerField("ShowTaxPercentonTicket"),
              IntegerField("ShowDelHistonTicket"),
              IntegerField("NextRCNo"),
              IntegerField("NextFCNo"),
              StringField("OrderInvoicesBy", 20),
              DateField("CurrentYearStart"),
              DateField("DelAcctDate"),
              StringField("OrderBatchReportBy", 20),
              StringField("OrderPayBatchBy", 20),
              IntegerField("PrintCheckNo"),
              StringField("QckChkBank", 20),
              StringField("QckChkExp", 20),
              StringField("QckRcptAcct", 20),
              IntegerField("ShowLogo"),
              IntegerField("PrdDateCheck"),
              IntegerField("UseDefCost"),
              StringField("StaticInvComment", 255),
              IntegerField("UseInvoiceExport"),
              IntegerField("Ontrucksys"),
              IntegerField("CalcPBGals"),
              IntegerField("DeftoWC"),
              IntegerField("Itemizetax"),
              IntegerField("Showprice"),
              BooleanField("Usemap"),
              BcdField("BankStatbal", 2),
              BooleanField("TransZeros"),
              BooleanField("Showageing"),
              BooleanField("UsegalLabel"),
              IntegerField("PorPcode"),
              BooleanField("Dontshowpbgals"),
              BooleanField("Dontshowkfwc"),
              BooleanField("Dontshowterms"),
              BooleanField("StaticAcctbals"),
              BooleanField("ShowPOonticket"),
              BooleanField("Showpblonplnstat"),
              StringField("DepositSlipComment", 255),
              IntegerField("Postednos"),
              IntegerField("TnkLkUpfltrdfalt"),
              DateField("RupDate"),
              DateField("LastRupDate"),
              BooleanField("ShowRouteID"),
              BooleanField("UseReadings"),
              BooleanField("Showpayonstat"),
              BooleanField("Useshipto"),
              StringField("BatchUnclosePwd", 255),
              StringField("BatchDeletePwd", 255),
              StringField("TankDeletePwd", 255),
              StringField("Textforbudgetltr", 255),
              BooleanField("Fourlines"),
              BooleanField("ShowfourlinesPP"),
              BooleanField("ExcludeCC"),
              StringField("FCInvType", 30),
              BooleanField("Usedirections"),
              BooleanField("StretchLogo"),
              DateField("DefNoteExp"),
              SmallIntField("ShowUNontick"),
              DateField("StrtInvdtcustsum"),
              BooleanField("DellistNoPrnPrice"),
              IntegerField("NextDelTicketNo"),
              BooleanField("Usemultdda"),
              IntegerField("DefDDArea"),
              BooleanField("Uppercase"),
              StringField("PeriodStart", 4),
              StringField("PeriodEnd", 4),
              StringField("CubicftorGallons", 20),
              BcdField("StaHeaderHt", 4),
              BcdField("StaPaperHt", 4),
              BcdField("StaFooterHt", 4),
              BcdField("StaBillAddLeft", 4),
              BcdField("StaBillAddTop", 4),
              BcdField("StaShiptoLeft", 4),
              BcdField("StaShiptoTop", 4),
              BcdField("StaCompanyLeft", 4),
              BcdField("StaCompanyTop", 4),
              BcdField("InvMinPntBal", 4),
              BooleanField("UsefouronInv"),
              IntegerField("NextMeterNo"),
              BooleanField("ViewCCInfo"),
              BooleanField("Showpriceonticket"),
              StringField("Badwavpath", 255),
              BooleanField("UsenewFC"),
              BooleanField("NTD"),
              StringField("Cubicfootstring", 20),
              StringField("DefaultAPBankAcct", 9),
              BooleanField("ExcludeInactive"),
              BooleanField("WACcosting"),
              BooleanField("Akeyspostedtotrans"),
              BooleanField("ShowgalsonPSS"),
              BooleanField("RteCalcBD"),
              BooleanField("NoAutocalcAging"),
              BooleanField("UseDueDAge"),
              IntegerField("DefaultRMethod"),
              StringField("ArchiveDataPath", 255),
              StringField("LiveDataPath", 255),
              IntegerField("Switchtoaccountkey"),
              BooleanField("Postedlastperiodkeytobin"),
              BooleanField("UseRougeAcctgrd"),
              BooleanField("UsebankrecImport"),
              BooleanField("UseCAmeterDesc"),
              BooleanField("IncludeBudgetinstat"),
              BooleanField("Useshortrentallabel"),
              BooleanField("Usesuperbudget"),
              BooleanField("Includerentinbud"),
              IntegerField("Nomonthsinbud"),
              BcdField("Mingallonsused", 2),
              BooleanField("Usemingalsonrent"),
              SmallIntField("NoRentorDbl"),
              SmallIntField("RentMinGalsMethod"),
              BooleanField("Incchkno"),
              IntegerField("Defterms"),
              BooleanField("Delticketnote"),
              BooleanField("AlwaysIncludeBudgets"),
              BooleanField("BR4stat"),
              BooleanField("ShowbalsonBR"),
              BooleanField("UsenewPB"),
              BooleanField("Usedetailedstat"),
              BcdField("DefPBprice", 4),
              IntegerField("DefPBpct"),
              BcdField("DefPBgal", 2),
              StringField("DefPBDesc", 50),
              BcdField("DefPBDeposit", 2),
              IntegerField("DefGLacct"),
              IntegerField("DefPBBinkey"),
              IntegerField("MerchantID"),
              StringField("CCUserName", 38),
              StringField("CCPassword", 38),
              StringField("CCVendorID", 38),
              BcdField("CCMin", 4),
              IntegerField("NextCCNo"),
              BooleanField("UseCC"),
              BooleanField("CCDebug"),
              BooleanField("CCUseDevAddress"),
              StringField("CCDevAddress", 50),
              StringField("CCDevUser", 38),
              StringField("CCDevPW", 38),
              DateField("PBseasonstart"),
              DateField("PBseasonend"),
              StringField("FiscalFirstMonth", 2),
              BooleanField("NoteDeletionProhibited"),
              BooleanField("NoteEditingProhibited"),
              BooleanField("Usepccost"),
              BooleanField("UseCATonT"),
              BooleanField("PpCards"),
              SmallIntField("HoldPriceDefDays"),
              BooleanField("ShowInvBelowZeroWarning"),
              BooleanField("StatOIasBF"),
              BcdField("DDStdDev", 1),
              BooleanField("ExcludeWCReturnCalc"),
              SmallIntField("BudgetType"),
              StringField("DefaultRDCFile", 255),
              BooleanField("UsePOrders"),
              StringField("DfltPCacct", 9),
              IntegerField("MidComTaxCat10"),
              IntegerField("MidComTaxCat12"),
              IntegerField("MidComTaxCat14"),
              StringField("AccountFilesPath", 255),
              SmallIntField("DefaultEndPercent"),
              SmallIntField("EffNumberOfDels"),
              BooleanField("PBWCAsKF"),
              StringField("AccountDeletePwd", 255),
              StringField("TaxAddRemovePwd", 255),
              SmallIntField("InventorySystem"),
              IntegerField("NextBlankTicketNo"),
              StringField("DefaultYard", 1),
              StringField("IVTag1Label", 20),
              StringField("IVTag2Label", 20),
              StringField("IVTag3Label", 20),
              StringField("IVTag4Label", 20),
              StringField("IVTag5Label", 20),
              BooleanField("UseAvgTempDD"),
              BooleanField("UseRegulators"),
              StringField("IVTag6Label", 20),
              StringField("TankTag1", 20),
              StringField("TankTag2", 20),
              StringField("TankTag3", 20),
              StringField("TankTag4", 20),
              StringField("TankTag5", 20),
              StringField("TankTag6", 20),
              BooleanField("UseFieldServiceForms"),
              BooleanField("UseDueDateCCBalance"),
              StringField("CashAccountId", 30),
              IntegerField("DfltTxGrp"),
              StringField("AltPbTab", 20),
              IntegerField("AltDefGlAcct"),
              IntegerField("MidComTaxCat16"),
              BooleanField("UploadTickets"),
              BooleanField("EnableRentalPriceTiers"),
              DateField("Lastinfieldbufupdate"),
              StringField("InfieldBackupPath", 255),
          },
          {}};
}

TableDef CompanyTable() {
  return {kUserData,
          "Company",
          {
              StringField("Phone", 20),
              StringField("WebsiteAddress", 255),
              StringField("CompanyName", 50),
          },
          {}};
}

TableDef AccountsTable() {
  return {kUserData,
          "Accounts",
          {
              IntegerField("AccountIndex"),
              StringField("AccountID", 30),
              IntegerField("Termskey"),
              BcdField("Balance", 2),
              BcdField("Current", 2),
              BcdField("OverThirty", 2),
              BcdField("OverSixty", 2),
              BcdField("OverNinety", 2),
              StringField("BillToLname", 50),
              StringField("BillToFname", 50),
              StringField("StreetNo", 10),
              StringField("StreetName", 50),
              StringField("Addressline2", 50),
              StringField("City", 20),
              StringField("State", 2),
              StringField("Zip", 13),
              StringField("Phone", 16),
              StringField("UseBudget", 3),
              StringField("CcCustkey", 20),
              StringField("CCInfokey", 20),
              StringField("Email", 50),
              BytesField("WALPW", 21),
              StringField("Cclast4", 20),
              IntegerField("Over1"),
              IntegerField("Over2"),
              IntegerField("Over3"),
              IntegerField("MerchantID"),
              // The rest of the row, read and written by the account object
              // by position.
              StringField("Active", 3),
              DateField("AccountOpened"),
              DateField("LastStatement"),
              IntegerField("OiorBf"),
              IntegerField("ChargeFC"),
              StringField("AccountDescription", 50),
              BcdField("BudgetAmount", 2),
              IntegerField("AccountType"),
              IntegerField("Tag"),
              StringField("Tag2", 30),
              StringField("Tag3", 20),
              StringField("Tag4", 20),
              StringField("Tag5", 20),
              StringField("Tag6", 20),
              StringField("OtherPhone", 16),
              IntegerField("Sendstmnt"),
              StringField("Fax", 16),
              DateField("BudgetStartDate"),
              DateField("PreBuyStart"),
              DateField("PreBuyEnd"),
              BcdField("PBGalsLeft", 3),
              BcdField("PreBuyGallons", 3),
              BooleanField("Archived"),
              DateField("ArchiveDate"),
              DateField("BudgetReviewDate"),
              BcdField("CreditLimit", 2),
              StringField("BlanketPO", 20),
              StringField("CCExpDate", 10),
              BooleanField("UseCC"),
              StringField("CkInfoKey", 20),
          },
          {
              {"ActIndex", {NoCase("AccountID")}},
              {"ByAccountIndex", {Asc("AccountIndex")}},
          }};
}

TableDef TanksTable() {
  return {kUserData,
          "Tanks",
          {
              IntegerField("Tankindex"),
              IntegerField("SerialNo"),
              StringField("AccountID", 30),
              StringField("BillToLname", 50),
              StringField("DeliveryAddressline2", 30),
              StringField("DeliveryAddressline3", 30),
              StringField("EquipmentType", 30),
              StringField("Contact", 30),
              IntegerField("DelEff"),
              IntegerField("DelEffLast"),
              IntegerField("EquipmentTypeKey"),
              IntegerField("TotalDels"),
              StringField("LbsorGals", 9),
              StringField("Disposition", 20),
              IntegerField("CritDel"),
              IntegerField("DeliveryStatus"),
              IntegerField("BegCylCount"),
              IntegerField("EndCylcount"),
              DateField("DeliverNowDate"),
              IntegerField("Monday"),
              IntegerField("Tuesday"),
              IntegerField("Wednesday"),
              IntegerField("Thursday"),
              IntegerField("Friday"),
              IntegerField("Saturday"),
              IntegerField("Sunday"),
              DateField("DateofPurchase"),
              IntegerField("TaxGroupKey"),
              BcdField("CustomPrice", 4),
              BcdField("TankCost", 4),
              IntegerField("MeterKey"),
              IntegerField("SizeClass"),
              IntegerField("FuelinTank"),
              IntegerField("RoutingMethod"),
              IntegerField("IntervalType"),
              IntegerField("FreqofInterval"),
              BcdField("GPDD", 4),
              BcdField("GPD", 4),
              StringField("RenterKey", 30),
              IntegerField("Include"),
              StringField("SerialPrefix", 30),
              IntegerField("Size"),
              StringField("PricingType", 15),
              StringField("Paint", 3),
              StringField("Manufacturer", 25),
              DateField("Manufacturerdate"),
              StringField("Ownedby", 25),
              StringField("Type", 25),
              DateField("Lastpainted"),
              DateField("Lastcertified"),
              DateField("NextCertified"),
              StringField("DeliveryType", 25),
              BcdField("StopNo", 4),
              BcdField("RouteNo", 4),
              StringField("RouteName", 35),
              MemoField("Directions"),
              MemoField("EquipDesc"),
              StringField("DeliveryStreetNo", 12),
              StringField("DeliveryStreetName", 30),
              StringField("DeliveryCity", 20),
              StringField("DeliveryState", 4),
              StringField("DeliveryZip", 15),
              StringField("DeliveryCounty", 20),
              DateField("DeliverydateofReturn"),
              IntegerField("RouteIndex"),
              StringField("SerialSuffix", 20),
              IntegerField("DefProductKey"),
              IntegerField("PriceTierKey"),
              IntegerField("ChargeRC"),
              DateField("RentalStart"),
              IntegerField("RentFreq"),
              IntegerField("RentalProdKey"),
              StringField("RentalPO", 20),
              DateField("LastRentalDate"),
              DateField("NextRentalDate"),
              IntegerField("Leased"),
              IntegerField("Tag"),
              StringField("Tag2", 30),
              StringField("Tag3", 20),
              StringField("Tag4", 20),
              StringField("Tag5", 20),
              StringField("Tag6", 20),
              IntegerField("Latitude"),
              IntegerField("Longitude"),
              DateField("Holdtill"),
              IntegerField("StopCapacity"),
              BcdField("Altfactor", 4),
              IntegerField("WInterval"),
              IntegerField("ReturnPercent"),
              BcdField("GalsTD", 1),
              BcdField("CustomRent", 2),
              BcdField("PrebuyGallons", 3),
              BcdField("PBGalsLeft", 3),
              DateField("Prebuystart"),
              DateField("Prebuyend"),
              IntegerField("Driverkey"),
              DateField("EndRentaldate"),
              BooleanField("HasGC"),
              BcdField("HPrice", 3),
              DateField("HPDate"),
              BcdField("PPrice", 2),
              BooleanField("RteActive"),
              IntegerField("DDAreakey"),
              IntegerField("Parent"),
              StringField("TicketComment", 255),
              DateTimeField("TicketCommentDate"),
              StringField("TicketCommentEmp", 20),
              BcdField("StartMeterRead", 2),
              IntegerField("Binkey"),
              TimeField("StopTime"),
              DateField("LDD"),
              IntegerField("LFP"),
              BooleanField("Usemingalsonrent"),
              IntegerField("PBcontractkey"),
              BcdField("Sfillamt", 2),
              DateField("Sfilldate"),
              IntegerField("AltRteKey"),
              SmallIntField("Mc8000tcode"),
              DateTimeField("MC8K_File_TStamp"),
              BooleanField("CallAhead"),
              StringField("Email", 50),
              IntegerField("RemoteMonitorKey"),
              IntegerField("RemotePercent"),
              DateField("RemoteDate"),
              SmallIntField("RemoteAllowance"),
              BooleanField("BatteryAlarm"),
              FloatField("LocNo"),
              StringField("TankPO", 20),
              StringField("DriverDays", 7),
              BcdField("AvgDelivery", 1),
              DateTimeField("TicketTimeStamp"),
              BcdField("DDStart", 4),
              SmallIntField("DelAcc"),
              IntegerField("DelRdFreq"),
              SmallIntField("CustomEndPercent"),
              DateField("NextAnodetest"),
              BcdField("AltStopno", 4),
              IntegerField("RentTierGroupKey"),
          },
          {
              {"AcctIndex", {Asc("AccountID"), Asc("Tankindex")}},
              {"ByTankindex", {Asc("Tankindex")}},
          }};
}

TableDef InvoicesTable() {
  return {kUserData,
          "Invoices",
          {
              IntegerField("InvoiceKey"),
              IntegerField("Accountkey"),
              BcdField("PayBalance", 2),
              BcdField("DiscountAmount", 2),
              IntegerField("BatchKey"),
              DateField("DueDate"),
              StringField("Area", 30),
              BcdField("TotalDebits", 2),
              BcdField("TotalCredits", 2),
              StringField("InvoiceNo", 14),
              StringField("BudgetPayment", 3),
              IntegerField("TankKey"),
              StringField("AccountID", 30),
              IntegerField("BatchType"),
              DateField("InvDate"),
              BcdField("TotalQuantity", 4),
              BcdField("OIBalance", 2),
              BcdField("Subtotal", 2),
              BcdField("Taxtotal", 2),
              BcdField("InvTotal", 2),
              BcdField("PaymentTotal", 2),
              BcdField("InvoiceBalance", 2),
              BcdField("RunningBalance", 2),
              StringField("Employee", 31),
              StringField("PO", 20),
              StringField("InvType", 40),
              TimeField("Time"),
              MemoField("Comment"),
              IntegerField("Selected"),
              BcdField("FeeTotal", 2),
              BcdField("Gallons", 2),
              BooleanField("Printed"),
          },
          {
              // The account page lists the newest invoices first.
              {"IRevAccountKey", {Asc("Accountkey"), Desc("InvDate"), Desc("InvoiceKey")}},
              {"IAccountKey", {Asc("Accountkey"), Asc("InvoiceKey")}},
              {"ByInvoiceKey", {Asc("InvoiceKey")}},
              {"ByBatchKey", {Asc("BatchKey")}},
          }};
}

TableDef ArchInvTable(const TableDef& invoices) {
  return {kUserData,
          "ArchInv",
          FieldsOf(invoices, {"InvoiceKey", "Accountkey", "InvoiceNo", "InvDate", "InvTotal",
                              "PaymentTotal", "DiscountAmount", "OIBalance", "PayBalance"}),
          {
              {"IAccountKey", {Asc("Accountkey")}},
              {"ByInvoiceKey", {Asc("InvoiceKey")}},
          }};
}

TableDef AppliedToTable() {
  return {kUserData,
          "AppliedTo",
          {
              IntegerField("AppliedToKey"),
              IntegerField("PaymentKey"),
              IntegerField("InvoiceKey"),
              MoneyField("Amount"),
              DateField("PaymentDate"),
              IntegerField("AccountKey"),
          },
          {
              {"IPaymentKey", {Asc("PaymentKey")}},
              {"IInvoiceKey", {Asc("InvoiceKey")}},
              {"ByAccountKey", {Asc("AccountKey")}},
          }};
}

// Archived links keep the layout of the live ones.
TableDef ArchApToTable(const TableDef& applied_to) {
  return {kUserData, "ArchApTo", applied_to.fields, {{"ByAccountKey", {Asc("AccountKey")}}}};
}

TableDef ManifestTable() {
  return {kUserData,
          "Manifest",
          {
              IntegerField("BatchKey"),
              IntegerField("BatchNo"),
              IntegerField("EquipmentID"),
              BcdField("TotalGPM", 4),
              BcdField("OdometerStart", 2),
              BcdField("GJDebitTotal", 2),
              BcdField("GJCreditTotal", 2),
              StringField("DefInvType", 30),
              IntegerField("DefaultBinKey"),
              StringField("BankKey", 9),
              BcdField("MeterStart", 2),
              BcdField("TotalOverShort", 4),
              IntegerField("BatchType"),
              IntegerField("PmPercent"),
              StringField("Period", 4),
              IntegerField("IsOnTruck"),
              IntegerField("DownLoad"),
              IntegerField("Closed"),
              IntegerField("DriverNumber"),
              DateField("Date"),
              DateField("DefaultInvDate"),
              BcdField("Milesdriven", 1),
              BcdField("GalMetered", 2),
              BcdField("PmMeter", 2),
              BcdField("PmOdometer", 2),
              BcdField("GallonsLoaded", 2),
              BcdField("Subtotal", 2),
              BcdField("TaxTotal", 2),
              BcdField("PaymentTotal", 2),
              BcdField("DiscountTotal", 2),
              BcdField("StartGallons", 1),
              BcdField("TotalQuantity", 4),
              BcdField("TotalGallons", 4),
              StringField("DriverName", 30),
              StringField("EmployeeName", 30),
              IntegerField("Closing"),
              BcdField("ControlTotal", 2),
              BcdField("GLControlTotal", 2),
              IntegerField("ICount"),
              BooleanField("HalcyraClosed"),
              IntegerField("POSAcctKey"),
              BcdField("ECountGrossTotalizerStart", 4),
              BcdField("ECountNetTotalizerStart", 4),
              BcdField("ECountGrossTotalizerEnd", 4),
              BcdField("ECountNetTotalizerEnd", 4),
              BcdField("ECountGrossVolumeTotal", 4),
              BcdField("ECountNetVolumeTotal", 4),
              StringField("LCRIISerialID", 10),
              BcdField("Hours", 2),
              MemoField("BatchNotes"),
              StringField("Warehouse", 20),
              IntegerField("CcMerchantId"),
              StringField("MachineID", 50),
          },
          {{"ByBatchKey", {Asc("BatchKey")}}}};
}

TableDef TransactionsTable() {
  return {kUserData,
          "Transactions",
          {
              IntegerField("TransKey"),
              SmallIntField("GLType"),
              StringField("GLCOGS", 9),
              StringField("GLSales", 9),
              IntegerField("TransactionKey"),
              StringField("Period", 4),
              IntegerField("BinKey"),
              BcdField("Debit", 2),
              BcdField("Credit", 2),
              StringField("GLInventory", 9),
              StringField("GLExpense", 9),
              StringField("Posted", 3),
              IntegerField("DelEff"),
              BcdField("MeterReading", 1),
              DateTimeField("Time"),
              IntegerField("Invoicekey"),
              StringField("AccountID", 30),
              IntegerField("WksTillReturn"),
              IntegerField("TransPOS"),
              IntegerField("EndPercent"),
              IntegerField("TankIndex"),
              SmallIntField("PaymentType"),
              SmallIntField("TransType"),
              SmallIntField("ProductGroupID"),
              IntegerField("ProductKey"),
              StringField("InvoiceNo", 14),
              IntegerField("BatchKey"),
              IntegerField("ProductTypeKey"),
              DateField("InvDate"),
              BcdField("Quantity", 4),
              BcdField("Gallons", 4),
              BcdField("TransTotal", 2),
              BcdField("TransDiscount", 2),
              BcdField("PaymentAmount", 2),
              StringField("UnitofMeasure", 15),
              StringField("ProductName", 31),
              StringField("ProductID", 15),
              StringField("PaymentRef", 15),
              BcdField("TranPrice", 4),
              BcdField("ProductCost", 4),
              IntegerField("Accountkey"),
              IntegerField("ParentChild"),
              BcdField("Pkgs", 4),
          },
          {
              {"InvKey", {Asc("Invoicekey")}},
              {"ixTransactionKeyInvDate", {Asc("TransactionKey"), Asc("InvDate")}},
              {"ByTransKey", {Asc("TransKey")}},
              {"ByAccountkey", {Asc("Accountkey")}},
          }};
}

TableDef TransTaxLkUpTable() {
  return {kUserData,
          "TransTaxLkUp",
          {
              IntegerField("TransTaxLkUpKey"),
              IntegerField("TaxKey"),
              IntegerField("Taxable"),
              IntegerField("TransKey"),
              IntegerField("ChargeTax"),
              IntegerField("BatchKey"),
              IntegerField("AccountKey"),
              BooleanField("Exempt"),
          },
          {
              {"ITransKey", {Asc("TransKey")}},
              {"ByTransTaxLkUpKey", {Asc("TransTaxLkUpKey")}},
          }};
}

TableDef TaxesTable() {
  return {kLocalData,
          "Taxes",
          {
              AutoIncField("Taxkey"),
              StringField("TaxName", 35),
              BcdField("TaxRate", 4),
              IntegerField("CalconSubTotal"),
              BcdField("SubTotal", 2),
              BcdField("Quantity", 4),
              IntegerField("ChargeTax"),
              IntegerField("AutoHookProd"),
              IntegerField("AutoHookAccount"),
              IntegerField("Deleted"),
              IntegerField("ProductKey"),
              BcdField("TonT", 2),
              StringField("TaxClass", 2),
              BcdField("OldRate", 4),
              DateField("Effectivedate"),
              SmallIntField("TransType"),
              StringField("GLLiability", 9),
              StringField("ProductTypeID", 9),
              IntegerField("TaxType"),
              BooleanField("MasterTax"),
              BcdField("Cost", 4),
              BcdField("FlatRate", 2),
          },
          {{"ByTaxkey", {Asc("Taxkey")}}}};
}

TableDef TaxLkUpTable() {
  return {kUserData,
          "TaxLkUp",
          {
              IntegerField("TaxLkUpKey"),
              IntegerField("FeeKey"),
              StringField("TaxName", 30),
              IntegerField("ChargeTax"),
              IntegerField("TaxableTaxKey"),
              IntegerField("TaxKey"),
              IntegerField("ProductKey"),
              IntegerField("AccountKey"),
          },
          {
              {"ITaxableTaxKey", {Asc("TaxableTaxKey")}},
              {"IAccountKey", {Asc("AccountKey")}},
              {"ByProductKey", {Asc("ProductKey")}},
          }};
}

TableDef TankTaxLkUpTable() {
  return {kUserData,
          "TankTaxLkUp",
          {
              IntegerField("TankKey"),
              IntegerField("ChargeTax"),
              IntegerField("TaxLkUpKey"),
              IntegerField("TaxKey"),
          },
          {{"ITankKey", {Asc("TankKey")}}}};
}

TableDef PctLkUpTable() {
  return {kUserData, "PCTLkUp", {IntegerField("PCTLkUpKey"), IntegerField("ProductKey")}, {}};
}

TableDef ProductsTable() {
  return {kUserData,
          "Products",
          {
              IntegerField("ProductKey"),
              StringField("ProductName", 38),
              IntegerField("POS"),
              IntegerField("TransType"),
              IntegerField("Service"),
              StringField("ProductID", 16),
              StringField("Productsize", 15),
              StringField("Unitofmeasure", 15),
              IntegerField("ProductTypekey"),
              StringField("GLInventory", 9),
              StringField("GLCGS", 9),
              StringField("GLSales", 9),
              StringField("GLExpense", 9),
              StringField("ProductTypeID", 9),
              SmallIntField("ProductGroupID"),
              BcdField("Price", 4),
              GraphicField("ProductGroupPicture"),
              BcdField("AvgCost", 4),
              BcdField("OnHand", 4),
              IntegerField("Showon"),
              BcdField("ReOrderPt", 4),
              BooleanField("Selected"),
              SmallIntField("PrintNo"),
              IntegerField("BinKey"),
              StringField("CostGroup", 10),
              StringField("PacPridePriceCode", 10),
              StringField("OnTruckTaxes", 2),
          },
          {{"ByProductKey", {Asc("ProductKey")}}}};
}

TableDef EmployeeTable() {
  return {kUserData,
          "Employee",
          {IntegerField("EmployeeKey"), StringField("First", 30), StringField("LAst", 30)},
          {{"ByEmployeeKey", {Asc("EmployeeKey")}}}};
}

TableDef PriceTiersTable() {
  return {kUserData,
          "PriceTiers",
          {
              IntegerField("TierKey"),
              StringField("TierName", 10),
              StringField("Description", 50),
              BcdField("Price", 4),
              DateField("EffectiveDate"),
          },
          {{"ByTierKey", {Asc("TierKey")}}}};
}

TableDef PbTankLkUpTable() {
  return {kUserData,
          "PBTankLkUp",
          {IntegerField("PBTankContractKey"), IntegerField("PBTankTankKey")},
          {{"ITankKey", {Asc("PBTankTankKey")}}}};
}

TableDef PbContractsTable() {
  return {kUserData,
          "PBcontracts",
          {
              IntegerField("Prebuykey"),
              BcdField("Pbprice", 4),
              DateField("Pbstart"),
              DateField("Pbend"),
              BcdField("Pbgallons", 4),
              BcdField("Pbdeposit", 2),
              BooleanField("PriceCap"),
          },
          {{"ByPrebuykey", {Asc("Prebuykey")}}}};
}

TableDef CcTransactionsTable() {
  return {kUserData,
          "ccTransactions",
          {
              IntegerField("CCTransKey"),
              IntegerField("AccountKey"),
              MemoField("RespMsg"),
              IntegerField("PayBatchkey"),
              BooleanField("Approved"),
              IntegerField("PayTransKey"),
              MoneyField("TransAmount"),
              DateField("TransDate"),
              TimeField("TransTime"),
              MemoField("Response"),
              IntegerField("PNRef"),
              MemoField("TransactionID"),
              MemoField("Token"),
              MemoField("TransType"),
              MemoField("CCNumLast4"),
              IntegerField("merchantId"),
          },
          {
              {"ByCCTransKey", {Asc("CCTransKey")}},
              {"ByPayBatchkey", {Asc("PayBatchkey")}},
              // A payment looks for today's card batch and for a charge
              // repeated within the last minutes: both by date, in a log
              // that keeps every charge ever made.
              {"ByTransDate", {Asc("TransDate")}},
          }};
}

TableDef CcMerchantsTable() {
  return {kUserData,
          "CCMerchants",
          {
              IntegerField("MerchantID"),
              StringField("CCUsername", 38),
              StringField("ccpassword", 38),
              StringField("ccvendorid", 38),
          },
          {{"ByMerchantID", {Asc("MerchantID")}}}};
}

TableDef PaymentUrlTable() {
  return {kUserData, "PMNT_URL", {MemoField("URL")}, {}};
}

TableDef TierDatePricesTable() {
  return {kUserData,
          "Tierdateprices",
          {IntegerField("Tierkey"), DateField("Tdpdate"), MoneyField("Price")},
          {{"ByTierkeyTdpdate", {Asc("Tierkey"), Asc("Tdpdate")}}}};
}

TableDef SmtpSettingsTable() {
  return {kLocalData,
          "e_stmt_smtp_cnxn_cfg",
          {
              MemoField("Surrogate_Key"),
              MemoField("Host_Name_Or_Address"),
              MemoField("User_Name"),
              GraphicField("Pass_Word"),
              MemoField("From_Address"),
              IntegerField("Port_Number"),
              BooleanField("Passed_Connect_Test"),
              IntegerField("Max_Sends_Per_Connect"),
          },
          {}};
}

TableDef GlAccountsTable() {
  return {kUserData,
          "acct",
          {IntegerField("acctkey"), MemoField("acct")},
          {{"ByAcctkey", {Asc("acctkey")}}}};
}

TableDef KeysTable() {
  return {kUserData,
          "Keys",
          {StringField("TableName"), StringField("FieldName"), IntegerField("NextNumber")},
          {{"ByTableNameFieldName", {NoCase("TableName"), NoCase("FieldName")}}}};
}

TableDef LogTable() {
  return {kUserData,
          "Log",
          // Callers log texts of up to 255 characters; a narrower column
          // would lose the end of every gateway error.
          {IntegerField("Logkey"), StringField("Logdesc", 255), DateTimeField("Ltime")},
          {{"ByLogkey", {Asc("Logkey")}}}};
}

TableDef InstallationIdTable() {
  return {kUserData, "scid", {BytesField("Data", 16)}, {}};
}

// The program's own: failed logins counted per account ID ("Account",
// upper-cased) or client address ("Address"), one row per subject for its
// present window, so that the limit holds across all processes of the
// program. No collation of the program's: the sqlite3 shell can edit it.
TableDef LoginFailuresTable() {
  return {kLocalData,
          "LoginFailures",
          {
              StringField("Kind", 7),
              MemoField("Subject"),
              IntegerField("Failures"),
              DateTimeField("WindowEnds"),
          },
          {{"ByKindSubject", {Asc("Kind"), Asc("Subject")}}}};
}

std::vector<TableDef> BuildCatalog() {
  std::vector<TableDef> tables;
  tables.push_back(RemotePrefsTable());
  tables.push_back(CompanyTable());
  tables.push_back(AccountsTable());
  tables.push_back(TanksTable());
  tables.push_back(InvoicesTable());
  tables.push_back(ArchInvTable(tables.back()));
  tables.push_back(AppliedToTable());
  tables.push_back(ArchApToTable(tables.back()));
  tables.push_back(ManifestTable());
  tables.push_back(TransactionsTable());
  tables.push_back(TransTaxLkUpTable());
  tables.push_back(TaxesTable());
  tables.push_back(TaxLkUpTable());
  tables.push_back(TankTaxLkUpTable());
  tables.push_back(PctLkUpTable());
  tables.push_back(ProductsTable());
  tables.push_back(EmployeeTable());
  tables.push_back(PriceTiersTable());
  tables.push_back(PbTankLkUpTable());
  tables.push_back(PbContractsTable());
  tables.push_back(CcTransactionsTable());
  tables.push_back(CcMerchantsTable());
  tables.push_back(PaymentUrlTable());
  tables.push_back(TierDatePricesTable());
  tables.push_back(SmtpSettingsTable());
  tables.push_back(GlAccountsTable());
  tables.push_back(KeysTable());
  tables.push_back(LogTable());
  tables.push_back(InstallationIdTable());
  tables.push_back(LoginFailuresTable());
  return tables;
}

}  // namespace

const std::vector<TableDef>& AllTableDefs() {
  static const std::vector<TableDef> tables = BuildCatalog();
  return tables;
}

std::string_view BareTableName(std::string_view table_name) {
  std::string_view name = Trim(table_name);
  constexpr std::string_view kExtension = ".db";
  if (name.size() >= kExtension.size() &&
      EqualsNoCase1252(name.substr(name.size() - kExtension.size()), kExtension)) {
    name.remove_suffix(kExtension.size());
  }
  return name;
}

const TableDef* FindTableDef(std::string_view alias, std::string_view table_name) {
  std::string_view wanted_alias = Trim(alias);
  std::string_view wanted_name = BareTableName(table_name);
  for (const TableDef& table : AllTableDefs()) {
    if (EqualsNoCase1252(table.alias, wanted_alias) && EqualsNoCase1252(table.name, wanted_name)) {
      return &table;
    }
  }
  return nullptr;
}

}  // namespace portavel
