// Two invoices that share a tax, recomputed at the same time by different
// connections or processes, each get exactly their own tax lines.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "data/store.h"
#include "pricing/invoice_taxes.h"
#include "pricing/pricing_fixture.h"

namespace portavel {
namespace {

using testing::Amount;
using testing::Day;
using testing::InsertRow;
using testing::LineRow;
using testing::PricingSession;

constexpr int32_t kSecondBatchKey = 43;
constexpr int32_t kSecondInvoiceKey = 78;

class ConcurrentTaxTest : public testing::PricingTest {
 protected:
  void SetUp() override {
    AddInvoice(4);
    AddTax(1, {});  // 8% of the amount, on both invoices
    const int32_t first = AddLine({{"TransTotal", Value::Currency(Amount("100"))}});
    Link(first, 1, 1);

    InsertRow(store, "UserData", "Manifest",
              {{"BatchKey", Value::Integer(kSecondBatchKey)},
               {"BatchType", Value::Integer(4)},
               {"Closed", Value::Integer(0)},
               {"Period", Value::Text("2403")}},
              {});
    InsertRow(store, "UserData", "Invoices",
              {{"InvoiceKey", Value::Integer(kSecondInvoiceKey)},
               {"BatchKey", Value::Integer(kSecondBatchKey)},
               {"InvoiceNo", Value::Text("D 78")},
               {"InvDate", Value::Date(Day(2024, 3, 15))},
               {"Accountkey", Value::Integer(testing::kAccountKey)}},
              {});
    InsertRow(store, "UserData", "Transactions",
              {{"TransKey", Value::Integer(2000)},
               {"Invoicekey", Value::Integer(kSecondInvoiceKey)},
               {"TransType", Value::Integer(4)},
               {"ProductName", Value::Text("Propane")},
               {"TransTotal", Value::Currency(Amount("50"))}},
              {});
    Link(2000, 1, 1);
  }

  // The tax lines of both invoices are exactly 8.00 and 4.00, once each.
  void ExpectExactTaxLines() {
    const std::vector<LineRow> first = LinesOfType(7);
    ASSERT_EQ(first.size(), 1u);
    EXPECT_EQ(first[0].trans_total, Amount("8"));
    const std::vector<LineRow> second = LinesOfType(7, kSecondInvoiceKey);
    ASSERT_EQ(second.size(), 1u);
    EXPECT_EQ(second[0].trans_total, Amount("4"));
  }
};

TEST_F(ConcurrentTaxTest, ARecomputationInTheMiddleOfAnotherAddsNothingToIt) {
  // The second invoice is recomputed over a connection of its own while
  // the first has summed its bases and is writing its tax line.
  Store second_store(temp.paths());
  PricingSession second(second_store);
  second.Open(kSecondBatchKey, kSecondInvoiceKey);
  bool interleaved = false;
  session.tables.tblTransactions.SetOnNewRecord([&](DataSet& line) {
    session.tables.tblTransactionsNewRecord(line);
    if (interleaved) return;
    interleaved = true;
    RecalculateInvoiceTaxes(second.context);
  });

  RecalculateInvoiceTaxes(context);

  ASSERT_TRUE(interleaved);
  ExpectExactTaxLines();
}

TEST_F(ConcurrentTaxTest, ProcessesRecomputingAtOnceEachGetTheirOwnTaxLines) {
  const struct {
    int32_t batch_key;
    int32_t invoice_key;
  } invoices[] = {{testing::kBatchKey, testing::kInvoiceKey}, {kSecondBatchKey, kSecondInvoiceKey}};
  std::vector<pid_t> children;
  for (const auto& invoice : invoices) {
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      // A process of its own, like a request: its own connection, nothing
      // of the parent's used.
      int status = 0;
      try {
        Store child_store(temp.paths());
        PricingSession child(child_store);
        child.Open(invoice.batch_key, invoice.invoice_key);
        for (int run = 0; run < 15; ++run) RecalculateInvoiceTaxes(child.context);
      } catch (...) {
        status = 1;
      }
      _exit(status);
    }
    children.push_back(pid);
  }
  for (pid_t child : children) {
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  ExpectExactTaxLines();
}

}  // namespace
}  // namespace portavel
