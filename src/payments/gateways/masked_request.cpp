#include "payments/gateways/masked_request.h"

#include <array>
#include <span>
#include <string_view>
#include <vector>

#include "payments/card_transaction_log.h"
#include "payments/gateways/xml_document_text.h"
#include "text/cp1252.h"

namespace portavel {

namespace {

// Element names of both gateways' requests.
constexpr std::array<std::string_view, 2> kCardNumberElements = {"CardNum", "cardNumber"};
constexpr std::array<std::string_view, 4> kSecretElements = {"CVV2", "Track1", "cardCode",
                                                             "transactionKey"};
constexpr const char* kHidden = "****";

bool IsOneOf(std::string_view name, std::span<const std::string_view> names) {
  for (std::string_view candidate : names) {
    if (name == candidate) return true;
  }
  return false;
}

void ReplaceText(pugi::xml_node element, const std::string& cp1252) {
  while (pugi::xml_node child = element.first_child()) element.remove_child(child);
  element.text().set(Cp1252ToUtf8(cp1252).c_str());
}

}  // namespace

std::string MaskedRequestText(const pugi::xml_document& request) {
  pugi::xml_document copy;
  copy.reset(request);
  std::vector<pugi::xml_node> elements;
  copy.find_node([&](const pugi::xml_node& node) {
    if (node.type() == pugi::node_element) elements.push_back(node);
    return false;
  });
  for (pugi::xml_node element : elements) {
    // An empty element stays empty: that it was not given is no secret.
    if (NodeText(element).empty()) continue;
    if (IsOneOf(element.name(), kCardNumberElements)) {
      ReplaceText(element, MaskCardNumber(NodeText(element)));
    } else if (IsOneOf(element.name(), kSecretElements)) {
      ReplaceText(element, kHidden);
    }
  }
  return SerializeXml(copy);
}

}  // namespace portavel
