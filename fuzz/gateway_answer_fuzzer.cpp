// The card gateways' answers as the clients read them: the form-post
// gateway's small XML document, JetPay's answer and Authorize.Net's answer
// behind its byte-order mark. The element names are the ones the clients
// look up; only the reading is fuzzed, the network takes no part.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include <pugixml.hpp>

#include "payments/gateways/anet_request.h"
#include "payments/gateways/xml_document_text.h"

namespace {

// Every text the clients log passes through here; a missing element throws.
void ReadRequired(const pugi::xml_node& root, std::string_view name) {
  try {
    (void)portavel::RequiredElementText(root, name);
  } catch (const portavel::MissingElementError&) {
  }
}

void ReadFormPostAnswer(const pugi::xml_document& document) {
  const pugi::xml_node root = document.document_element();
  for (const char* name : {"Result", "PNRef", "Message", "AuthCode", "error", "RespMSG"}) {
    (void)portavel::NodeText(root.child(name));
  }
}

void ReadJetPayAnswer(const pugi::xml_document& document) {
  (void)portavel::NodeText(portavel::ElementNamed(document, "ActionCode"));
  for (const char* name : {"Approval", "ResponseText", "Token", "TransactionID"}) {
    ReadRequired(document, name);
  }
}

void ReadAnetAnswer(const pugi::xml_document& document) {
  for (const char* kind : {"/createTransactionResponse", "/deleteCustomerProfileResponse"}) {
    const std::string base(kind);
    for (const char* path :
         {"/messages/resultCode", "/messages/message/code", "/messages/message/text"}) {
      (void)portavel::NodeText(portavel::SelectPath(document, base + path));
    }
  }
  for (const char* name : {"responseCode", "authCode", "text", "transHash", "transId"}) {
    ReadRequired(document, name);
  }
  try {
    (void)portavel::RequiredText(portavel::ElementNamed(document, "code", 1), "code");
  } catch (const portavel::MissingElementError&) {
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view answer(reinterpret_cast<const char*>(data), size);
  (void)portavel::GatewayTextToCp1252(answer);

  pugi::xml_document document;
  if (!portavel::LoadXml(document, answer)) {
    ReadFormPostAnswer(document);
    ReadJetPayAnswer(document);
  } else if (document.first_child()) {
    __builtin_trap();  // a failed load leaves the document empty
  }

  pugi::xml_document anet;
  (void)portavel::LoadXml(anet, portavel::DropAnswerLead(answer));
  ReadAnetAnswer(anet);
  return 0;
}
