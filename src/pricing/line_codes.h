// The codes an invoice line carries in the Transactions table, shared by
// the code that writes lines and the code that sums and prices them: what
// the line is (TransType) and which product group it sells
// (ProductGroupID).
#pragma once

#include <cstdint>

namespace portavel {

inline constexpr int64_t kPaymentLineType = 2;
inline constexpr int64_t kTankSaleLineType = 3;
inline constexpr int64_t kTaxLineType = 7;
inline constexpr int64_t kDiscountLineType = 8;
inline constexpr int64_t kVoidLineType = 9;
inline constexpr int64_t kDepositLineType = 23;

inline constexpr int64_t kFuelProductGroup = 1;
inline constexpr int64_t kDepositProductGroup = 10;
inline constexpr int64_t kTaxProductGroup = 18;

// The ProductID of a line that applies a pre-buy deposit.
inline constexpr const char* kDepositProductId = "PB Deposit";

}  // namespace portavel
