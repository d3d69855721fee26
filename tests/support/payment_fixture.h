// Store contents the payment tests share: card-payment preferences, the
// key sequences a payment draws from, and small readers of what was
// written.
#pragma once

#include <cstdint>
#include <string>

#include "support/temp_store.h"

namespace portavel::testing {

// A complete card entry as the card form posts it, with the card the fake
// gateway approves.
inline const std::string kCompleteCardEntry =
    "CardNum=4111111111111111&ExpMonth=07&ExpYear=29&CVN=123&BillName=John+Smith"
    "&BillAddress=12+Harbor+Rd&BillZip=04401";

// Preferences of a dealer taking cards (CCMin 5.00, NextCCNo 1042, bank
// account 12, merchant 0 with its credentials) and a Keys row for every
// sequence a payment draws from, the event log's included.
void SetUpPaymentStore(TempStore& temp);

// An invoice of account 1 (SMITH01) with the given totals.
void AddInvoice(TempStore& temp, int key, const char* inv_total, const char* discount,
                const char* payment_total, int batch_type = 1);

// Sets one field of the preferences row.
void SetRemotePref(Store& store, const char* field, const Value& value);

int64_t CountRows(TempStore& temp, const std::string& table);

// The whole response of a charging page for SMITH01 of the portal fixture:
// "Transaction Successful." or the office's number to call.
std::string ExpectedOutcomePage(bool approved);
int64_t NextCardNumber(TempStore& temp);

}  // namespace portavel::testing
