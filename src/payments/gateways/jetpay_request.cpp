#include "payments/gateways/jetpay_request.h"

#include "payments/gateways/xml_document_text.h"
#include "text/cp1252.h"

namespace portavel {

namespace {

std::string_view Slice(std::string_view text, size_t from, size_t count) {
  return from < text.size() ? text.substr(from, count) : std::string_view();
}

void AppendTotal(pugi::xml_node root, Money amount) {
  AppendElement(root, "TotalAmount", AmountInCents(amount));
}

}  // namespace

pugi::xml_node BuildJetPayHeader(pugi::xml_document& document, std::string_view kind,
                                 const JetPayHeader& header) {
  pugi::xml_node root = document.append_child("JetPay");
  root.append_attribute("Version") = "2.0";
  AppendElement(root, "TransactionType", kind);
  AppendElement(root, "TerminalID", header.terminal_id);
  AppendElement(root, "Application", "Orvik Propane Software")
      .append_attribute("Version")
      .set_value(Cp1252ToUtf8(header.version_text).c_str());
  AppendElement(root, "Library", "VirtPOS SDK").append_attribute("Version") = "1.5";
  AppendElement(root, "Gateway", "JetPay");
  AppendElement(root, "DeveloperID", "8K3Qpd");
  AppendElement(root, "TransactionID", header.transaction_id);
  return root;
}

void AppendJetPayEnteredCardSale(pugi::xml_node root, const JetPayEnteredCard& card, Money amount) {
  AppendElement(root, "IndustryInfo").append_attribute("Type") =
      card.card_present ? "RETAIL" : "MOTO";
  AppendElement(root, "Origin", card.card_present ? "POS" : "PHONE ORDER");
  if (!card.track_data.empty()) {
    AppendElement(root, "ReaderUsed", "MAGNETIC STRIPE");
    AppendElement(root, "Track1", card.track_data).append_attribute("Tokenize") = "true";
  } else {
    pugi::xml_node number = AppendElement(root, "CardNum", card.card_number);
    number.append_attribute("CardPresent") = "false";
    number.append_attribute("Tokenize") = "true";
    AppendElement(root, "CardExpMonth", Slice(card.expiry, 0, 2));
    AppendElement(root, "CardExpYear", Slice(card.expiry, 2, 2));
    if (!card.cvn.empty()) AppendElement(root, "CVV2", card.cvn);
    if (!Trim(card.street + card.zip).empty()) {
      pugi::xml_node billing = AppendElement(root, "Billing");
      if (!card.street.empty()) AppendElement(billing, "Address", card.street);
      if (!card.zip.empty()) AppendElement(billing, "PostalCode", card.zip);
    }
    AppendElement(root, "ReaderUsed", "KEYPAD");
  }
  AppendTotal(root, amount);
}

void AppendJetPayStoredCardSale(pugi::xml_node root, std::string_view token, Money amount) {
  AppendElement(root, "Token", token);
  AppendTotal(root, amount);
}

std::string AmountInCents(Money amount) {
  constexpr int64_t kUnitsPerCent = Money::kUnitsPerWhole / 100;
  int64_t units = amount.units();
  int64_t cents = units / kUnitsPerCent;
  if (units % kUnitsPerCent < 0) --cents;  // down, also below zero
  return std::to_string(cents);
}

}  // namespace portavel
