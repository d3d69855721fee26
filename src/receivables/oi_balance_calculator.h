// Open-item balances of one invoice: how much of it is still open, and
// how much of it, acting as a payment or credit, is not yet applied to
// other invoices. Applications are the rows of AppliedTo.
#pragma once

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "data/not_found_error.h"
#include "dates/date_time.h"
#include "money/money.h"

namespace portavel {

class DataSet;
class Store;

// An invoice key that is in neither Invoices nor ArchInv.
class EInvoiceNotFound : public ENotFoundException {
 public:
  using ENotFoundException::ENotFoundException;
};

// An applied-to link whose other invoice is missing.
class EBadAppliedTo : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class TOIBalanceCalculator {
 public:
  // Opens Invoices, ArchInv and AppliedTo (twice) read-only; the store's
  // errors propagate. Create one and reuse it for many invoices.
  explicit TOIBalanceCalculator(Store& store);
  ~TOIBalanceCalculator();
  TOIBalanceCalculator(const TOIBalanceCalculator&) = delete;
  TOIBalanceCalculator& operator=(const TOIBalanceCalculator&) = delete;

  // CalculateAsOf with the largest date there is: no link is left out.
  void Calculate(int32_t invoice_key);
  // Fills the four results for the invoice, counting the links applied on
  // or before `as_of` whose other invoice is dated on or before it.
  // Throws EInvoiceNotFound when the invoice itself is missing, and
  // EBadAppliedTo "Broken link in the appliedto table found while
  // calculating OI balances for Invoice #<InvoiceNo>: [...]" when a link's
  // other invoice is; OIBalance and PayBalance then hold the invoice's own
  // debits and credits.
  void CalculateAsOf(int32_t invoice_key, DateTime as_of);

  Money OIBalance() const { return oi_balance_; }
  Money PayBalance() const { return pay_balance_; }
  Money InvoiceDebits() const { return invoice_debits_; }
  Money InvoiceCredits() const { return invoice_credits_; }

 private:
  // The data set (Invoices, else ArchInv) standing on the invoice.
  DataSet& FindInvoice(int32_t invoice_key);
  // FindInvoice on the key a link names; a missing invoice is a broken
  // link (EBadAppliedTo).
  DataSet& FindLinkedInvoice(DataSet& links, const char* key_field);
  // Steps through the links of one side, counting each one that is
  // in effect at `as_of`.
  void ApplyInvoiceLinks(DateTime as_of, Money& net);
  void ApplyPaymentLinks(DateTime as_of, Money& net, Money& own_payment);

  std::unique_ptr<DataSet> payment_links_;  // the invoice is the paying side
  std::unique_ptr<DataSet> invoice_links_;  // the invoice is the side paid
  std::unique_ptr<DataSet> invoices_;
  std::unique_ptr<DataSet> archived_invoices_;

  Money oi_balance_;
  Money pay_balance_;
  Money invoice_debits_;
  Money invoice_credits_;
};

// Writes OIBalance and PayBalance into every invoice and archived invoice
// of the account, then deletes the account's AppliedTo and ArchApTo rows:
// the switch of an account from open-item to balance-forward. A failure
// ends it with the rows done so far written.
void ConvertToBalanceForward(Store& store, int32_t account_key);

// Trims every string, drops the empty ones and joins the rest.
std::string JoinNonEmpty(const std::vector<std::string>& strings, std::string_view separator);

}  // namespace portavel
