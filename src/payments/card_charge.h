// One card payment from the posting to its outcome: the payment is posted
// into the dealer's books, charged through the gateway the merchant id
// selects, and taken out again when the charge is not approved.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "data/service_context.h"
#include "money/money.h"

namespace portavel {

class DataSet;
class PostingTables;

// The card-entry form as the customer filled it in.
struct EnteredCard {
  std::string number;
  std::string expiry_month;  // "01".."12"
  std::string expiry_year;   // two digits, or four for Authorize.Net
  std::string cvn;
  std::string name;        // BillName
  std::string first_name;  // BillFName (Authorize.Net)
  std::string last_name;   // BillLName (Authorize.Net)
  std::string street;
  std::string zip;
};

// Whether the form carries everything a charge needs: the name is asked
// for as one field, or as first and last name for Authorize.Net.
bool IsCompleteEntry(const EnteredCard& card, int32_t merchant_id);

// The gateway family a merchant id selects.
enum class GatewayKind { kNone, kFormPost, kXml };
GatewayKind GatewayKindOf(int32_t merchant_id);

struct CardPayment {
  int32_t merchant_id = 0;
  Money amount;
  std::optional<EnteredCard> entered_card;  // none: the card on file
};

// The tables a payment is posted with: the module's posting components, its
// preferences row and the paying account, all open.
struct PaymentTables {
  PostingTables& posting;
  DataSet& remote_prefs;
  DataSet& account;
};

// Posts, charges and, unless approved, removes the payment. `trace` gets
// the card-trace lines of the charge. Charges of one account take turns;
// one that repeats an approved charge, or one without a definite answer,
// of the same amount within the duplicate window is not posted or sent,
// and its result is the earlier one's. An exception before the charge is
// sent (a store failure, an account the gateway client cannot find)
// removes what was posted and then passes on. True when the gateway
// approved the charge.
bool ChargeCardPayment(const ServiceContext& context, const PaymentTables& tables,
                       const CardPayment& payment,
                       const std::function<void(std::string_view)>& trace);

}  // namespace portavel
