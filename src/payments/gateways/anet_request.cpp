#include "payments/gateways/anet_request.h"

#include "payments/gateways/xml_document_text.h"

namespace portavel {

namespace {

pugi::xml_node AppendSaleStart(pugi::xml_node root, Money amount) {
  pugi::xml_node request = AppendElement(root, "transactionRequest");
  AppendElement(request, "transactionType", "authCaptureTransaction");
  AppendElement(request, "amount", amount.ToString());
  return request;
}

void AppendOrder(pugi::xml_node request, std::string_view invoice_number) {
  AppendElement(AppendElement(request, "order"), "invoiceNumber", invoice_number);
}

}  // namespace

pugi::xml_node BuildAnetHeader(pugi::xml_document& document, std::string_view kind,
                               const AnetLogin& login) {
  pugi::xml_node root = document.append_child(std::string(kind).c_str());
  root.append_attribute("xmlns") = "AnetApi/xml/v1/schema/AnetApiSchema.xsd";
  pugi::xml_node authentication = AppendElement(root, "merchantAuthentication");
  AppendElement(authentication, "name", login.api_login_id);
  AppendElement(authentication, "transactionKey", login.transaction_key);
  return root;
}

void AppendAnetEnteredCardSale(pugi::xml_node root, Money amount, const AnetEnteredCard& card,
                               std::string_view invoice_number) {
  pugi::xml_node request = AppendSaleStart(root, amount);
  pugi::xml_node credit_card = AppendElement(AppendElement(request, "payment"), "creditCard");
  AppendElement(credit_card, "cardNumber", card.card_number);
  AppendElement(credit_card, "expirationDate", card.expiry);
  AppendElement(credit_card, "cardCode", card.cvn);
  AppendOrder(request, invoice_number);
  AppendElement(request, "transactionSettings");
}

void AppendAnetStoredCardSale(pugi::xml_node root, Money amount,
                              std::string_view customer_profile_id,
                              std::string_view payment_profile_id,
                              std::string_view invoice_number) {
  pugi::xml_node request = AppendSaleStart(root, amount);
  pugi::xml_node profile = AppendElement(request, "profile");
  AppendElement(profile, "customerProfileId", customer_profile_id);
  AppendElement(AppendElement(profile, "paymentProfile"), "paymentProfileId", payment_profile_id);
  AppendOrder(request, invoice_number);
}

void AppendProfileDeletion(pugi::xml_node root, std::string_view customer_profile_id) {
  AppendElement(root, "customerProfileId", customer_profile_id);
}

std::string_view DropAnswerLead(std::string_view answer) {
  if (answer.starts_with(kUtf8ByteOrderMark)) return answer.substr(kUtf8ByteOrderMark.size());
  return answer.empty() ? answer : answer.substr(1);
}

}  // namespace portavel
