#include "payments/card_charge.h"

#include <exception>

#include "config/config.h"
#include "data/data_set.h"
#include "payments/charge_lock.h"
#include "payments/gateways/form_post_gateway.h"
#include "payments/gateways/xml_gateway.h"
#include "payments/merchant_ids.h"
#include "payments/payment_posting.h"
#include "payments/recent_charges.h"
#include "platform/platform.h"
#include "posting/posting_tables.h"

namespace portavel {
namespace {

std::string ExpiryFor(const EnteredCard& card, int32_t merchant_id) {
  if (merchant_id == kAuthorizeNetMerchantId) return card.expiry_year + "-" + card.expiry_month;
  return card.expiry_month + card.expiry_year;
}

std::string NameOnCard(const EnteredCard& card, int32_t merchant_id) {
  if (merchant_id == kAuthorizeNetMerchantId) return card.first_name + " " + card.last_name;
  return card.name;
}

// The client is created for one charge and freed when it returns or throws.
bool ChargeThroughGateway(const ServiceContext& context, DataSet& transaction,
                          int32_t account_index, const CardPayment& payment,
                          const std::function<void(std::string_view)>& trace) {
  const int32_t merchant = payment.merchant_id;
  const std::optional<EnteredCard>& card = payment.entered_card;
  switch (GatewayKindOf(merchant)) {
    case GatewayKind::kFormPost: {
      trace(card ? "NC 0..2" : "0..2");
      TCreditCard client(context, account_index, merchant);
      if (!card) return client.ChargeStoredCard(transaction);
      return client.ChargeCard(transaction, card->number, card->zip, card->street, "",
                               NameOnCard(*card, merchant), card->cvn, ExpiryFor(*card, merchant));
    }
    case GatewayKind::kXml: {
      trace(card ? "NC 3..4" : "3..4");
      TCreditCard_JetPay client(context, account_index, merchant);
      if (!card) return client.ChargeStoredCard(transaction);
      return client.ChargeCard(transaction, card->number, /*card_present=*/false, card->zip,
                               card->street, "", NameOnCard(*card, merchant), card->cvn,
                               ExpiryFor(*card, merchant));
    }
    case GatewayKind::kNone:
      break;
  }
  return false;
}

}  // namespace

bool IsCompleteEntry(const EnteredCard& card, int32_t merchant_id) {
  bool named = merchant_id == kAuthorizeNetMerchantId
                   ? !card.first_name.empty() && !card.last_name.empty()
                   : !card.name.empty();
  return named && !card.number.empty() && !card.cvn.empty() && !card.street.empty() &&
         !card.zip.empty() && card.expiry_month != "00" && card.expiry_year != "00";
}

GatewayKind GatewayKindOf(int32_t merchant_id) {
  if (merchant_id >= 0 && merchant_id <= kLastFormPostMerchantId) return GatewayKind::kFormPost;
  if (merchant_id == kJetPayMerchantId || merchant_id == kAuthorizeNetMerchantId)
    return GatewayKind::kXml;
  return GatewayKind::kNone;
}

bool ChargeCardPayment(const ServiceContext& context, const PaymentTables& tables,
                       const CardPayment& payment,
                       const std::function<void(std::string_view)>& trace) {
  const auto account_index =
      static_cast<int32_t>(tables.account.FieldByName("AccountIndex").AsInteger());
  // Held until the charge is recorded, so that a second click waits for
  // the first charge and then finds it.
  ChargeLock lock(context.store, account_index);
  if (std::optional<RecentCharge> earlier =
          FindRecentCharge(context.store, context.platform, account_index, payment.amount,
                           context.config.payments.duplicate_window_seconds)) {
    context.platform.OperatorMessage("A repeated card payment was not charged again: account " +
                                     std::to_string(account_index) + ", amount " +
                                     payment.amount.ToString() + ", the same as card log key " +
                                     std::to_string(earlier->cc_trans_key) +
                                     (earlier->approved ? " (approved)" : " (no definite answer)"));
    return earlier->approved;
  }

  PendingPayment pending = PostPendingPayment(tables.posting, tables.remote_prefs, tables.account,
                                              payment.amount, context.store, context.platform);
  bool approved = false;
  try {
    approved = ChargeThroughGateway(context, tables.posting.tblTransactions, account_index, payment,
                                    trace);
  } catch (...) {
    // The failure is what the operator must see; a removal that fails too
    // is reported beside it rather than in its place.
    try {
      RemovePendingPayment(tables.posting, pending, context.store);
    } catch (const std::exception& error) {
      context.platform.OperatorMessage(
          std::string("A payment that failed could not be taken out again: ") + error.what());
    }
    throw;
  }
  if (!approved) {
    // The card was not charged, which is what the customer is told; the
    // office must take the payment out by hand.
    try {
      RemovePendingPayment(tables.posting, pending, context.store);
    } catch (const std::exception& error) {
      context.platform.OperatorMessage(
          "A card payment that was not charged could not be taken out again: account " +
          std::to_string(account_index) + ", amount " + payment.amount.ToString() +
          ", invoice key " + (pending.invoice_key ? std::to_string(*pending.invoice_key) : "none") +
          ": " + error.what());
    }
  }
  return approved;
}

}  // namespace portavel
