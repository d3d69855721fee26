// The module tables and table producers of the account pages: the
// account row, its tanks and its invoices, with their calculated fields,
// display formats and columns.
#pragma once

#include <string>

#include "account/html_table_producer.h"
#include "data/data_set.h"

namespace portavel {

// The tank status a web fuel request sets.
inline constexpr int kInternetRequestStatus = 14;

// The text of a tank's DeliveryStatus code; "" for a code without one.
std::string DeliveryStatusText(int64_t code);

// Calculated fields of the account row (Name, Address) and of a tank
// (EstPct, SerialNumber, DelAddress, EqDescription, DelStatus).
void tblACalcFields(DataSet& account);
void tblTCalcFields(DataSet& tank);

// Declares the account table's calculated fields and display formats.
void DeclareAccountTable(DataSet& tblA);
// Declares the tank and invoice tables' calculated fields, links, orders
// and display formats; both follow tblA.
void DeclareTankAndInvoiceTables(DataSet& tblA, DataSet& tblT, DataSet& tblI);

// The columns and attributes of the three producers. Without the
// equipment description column when `reduced_portal` is set.
void DeclareAccountProducers(HtmlTableProducer& TPAccount, HtmlTableProducer& TPTanks,
                             HtmlTableProducer& TPInvoices, bool reduced_portal);

}  // namespace portavel
