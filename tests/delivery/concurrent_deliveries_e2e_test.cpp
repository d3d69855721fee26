// Deliveries recorded at the same moment, each request a process of its
// own as under the web server, on invoices that share their taxes.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "delivery/delivery_fixture.h"
#include "support/forked_processes.h"

namespace portavel::testing {
namespace {

constexpr int kTrucks = 8;
constexpr int kDeliveriesEach = 10;

int32_t InvoiceOf(int truck) {
  return 100 + truck;
}
int32_t LineOf(int truck, int delivery) {
  return 2000 + truck * kDeliveriesEach + delivery;
}

TEST(ConcurrentDeliveriesE2eTest, EachInvoiceGetsExactlyItsOwnTaxesAndTotals) {
  DeliveryFixture fixture;
  // One invoice per truck in the open batch, each with the office's ten
  // tickets of 10 gallons at 2.50.
  for (int truck = 0; truck < kTrucks; ++truck) {
    fixture.temp().Insert("Invoices",
                          {{"InvoiceKey", Value::Integer(InvoiceOf(truck))},
                           {"BatchKey", Value::Integer(kBatch)},
                           {"InvoiceNo", Value::Text("D " + std::to_string(InvoiceOf(truck)))},
                           {"InvDate", Value::Date(*DateTime::FromCivil(2024, 3, 31))}});
    for (int delivery = 0; delivery < kDeliveriesEach; ++delivery) {
      fixture.temp().Insert("Transactions", {{"TransKey", Value::Integer(LineOf(truck, delivery))},
                                             {"Invoicekey", Value::Integer(InvoiceOf(truck))},
                                             {"TransType", Value::Integer(4)},
                                             {"ProductName", Value::Text("Propane")},
                                             {"Quantity", Value::Currency(Dollars("10"))},
                                             {"TransTotal", Value::Currency(Dollars("25"))}});
    }
  }

  const std::vector<int> failed = RunInForkedProcesses(kTrucks, [&](int truck) {
    for (int delivery = 0; delivery < kDeliveriesEach; ++delivery) {
      const std::string answer = fixture.Send(
          "/rd", "Account=1&Tank=55&Batch=42&Invoice=" + std::to_string(InvoiceOf(truck)) +
                     "&Trans=" + std::to_string(LineOf(truck, delivery)) +
                     "&Product=71&Pkgs=10&Price=2.5");
      if (answer != StatusResponse("200 RECORDED")) {
        std::fprintf(stderr, "truck %d, delivery %d:\n%s\n", truck, delivery, answer.c_str());
        return false;
      }
    }
    return true;
  });
  EXPECT_TRUE(failed.empty());

  for (int truck = 0; truck < kTrucks; ++truck) {
    const std::string invoice = std::to_string(InvoiceOf(truck));
    // 100 gallons at 1.5%, 6% of 250.00, and ten fees of 2.50.
    EXPECT_EQ(fixture.Joined("SELECT \"ProductName\" || ' ' || \"TransTotal\" FROM "
                             "\"Transactions\" WHERE \"TransType\" = 7 AND \"Invoicekey\" = " +
                                 invoice + " ORDER BY \"TransKey\"",
                             ", "),
              "LP Excise 15000, Sales Tax 150000, Hazmat Fee 250000")
        << invoice;
    EXPECT_EQ(fixture.TextOf(
                  "SELECT \"Subtotal\" || ' ' || \"Taxtotal\" || ' ' || \"InvTotal\" || ' ' || "
                  "\"OIBalance\" FROM \"Invoices\" WHERE \"InvoiceKey\" = " +
                  invoice),
              "2750000 165000 2915000 2915000")
        << invoice;
  }
  EXPECT_EQ(fixture.Scalar("SELECT COUNT(*) - COUNT(DISTINCT \"TransKey\") FROM \"Transactions\""),
            0);
  EXPECT_EQ(
      fixture.Scalar("SELECT COUNT(*) - COUNT(DISTINCT \"TransTaxLkUpKey\") FROM \"TransTaxLkUp\""),
      0);
  // Each delivered line ends with its three links.
  EXPECT_EQ(fixture.Scalar("SELECT COUNT(*) FROM \"TransTaxLkUp\" WHERE \"TransKey\" >= 2000 AND "
                           "\"TransKey\" < 3000"),
            kTrucks * kDeliveriesEach * 3);
}

}  // namespace
}  // namespace portavel::testing
