// A dealer set up for deliveries, and requests to the truck-side
// endpoints of the built program: propane (product 71) carries a quantity
// tax, an amount tax and a fee, all three charged to account 1 (SMITH01);
// its tank 55; the open delivery batch 42 holding invoice 77 ("D 77") with
// the office's ticket line 1000 (100 gallons at 2.50, 250.00).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "data/value.h"
#include "support/portal_fixture.h"

namespace portavel::testing {

inline constexpr int32_t kAccount = 1;
inline constexpr int32_t kTank = 55;
inline constexpr int32_t kBatch = 42;
inline constexpr int32_t kInvoice = 77;
inline constexpr int32_t kTicketLine = 1000;
inline constexpr int32_t kPropane = 71;
inline constexpr int32_t kQuantityTax = 1;  // 1.5% of the gallons
inline constexpr int32_t kAmountTax = 2;    // 6% of the amount
inline constexpr int32_t kFee = 3;          // 2.50 a line

// The request that records the ticket as delivered.
inline constexpr const char* kTicketDelivery =
    "Account=1&Tank=55&Batch=42&Invoice=77&Trans=1000&Product=71&Pkgs=100&Price=2.5"
    "&EndPercent=80&InvNo=D+77&InvDate=3/31/2024";

// What a line of an invoice holds, for comparing.
struct InvoiceLine {
  int64_t trans_key = 0;
  int64_t trans_type = 0;
  std::string product_id;
  std::string product_name;
  Money trans_total;
  Money tran_price;
  Money quantity;
  Money pkgs;
  bool operator==(const InvoiceLine&) const = default;
};

class DeliveryFixture {
 public:
  DeliveryFixture();

  PortalFixture portal;
  TempStore& temp() { return portal.temp(); }
  void Exec(const std::string& sql) { temp().store().Execute("UserData", sql); }

  // A form POST (or, with `as_query`, a GET with the fields as its query)
  // to "/rd" or "/bi" from the client address.
  std::string Send(const std::string& path, const std::string& fields,
                   const std::string& remote_addr = "127.0.0.1", bool as_query = false);

  // One field of the row whose key field has the key; null without one.
  Value Field(const std::string& table, const std::string& key_field, int64_t key,
              const std::string& field);
  // The first column of the first row of a statement.
  int64_t Scalar(const std::string& sql);
  std::string TextOf(const std::string& sql);
  // The first column of every row, joined by `separator` (SQLite's
  // group_concat has no like on PostgreSQL).
  std::string Joined(const std::string& sql, const std::string& separator);
  // Lines of an invoice in key order.
  std::vector<InvoiceLine> Lines(int32_t invoice_key = kInvoice);
  // Every row of every UserData table but the installation identity, as
  // text, to show that nothing changed.
  std::string Snapshot();
};

// The exact response carrying one status line.
std::string StatusResponse(const std::string& line, int code = 200);
Money Dollars(const char* text);

}  // namespace portavel::testing
