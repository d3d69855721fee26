#include "payments/gateways/masked_request.h"

#include <gtest/gtest.h>

#include "payments/gateways/anet_request.h"
#include "payments/gateways/jetpay_request.h"
#include "payments/gateways/xml_document_text.h"

namespace portavel {
namespace {

Money Amount(const char* text) {
  return Money::Parse(text).value();
}

TEST(MaskedRequest, CardDataAndTheKeyAreHiddenAndTheRestStays) {
  pugi::xml_document anet;
  AppendAnetEnteredCardSale(BuildAnetHeader(anet, "createTransactionRequest", {"LOGIN1", "KEY123"}),
                            Amount("45.50"), {"4111111111111111", "2029-07", "123"}, "CC 1042");
  const std::string sent = SerializeXml(anet);
  EXPECT_EQ(MaskedRequestText(anet),
            "<createTransactionRequest xmlns=\"AnetApi/xml/v1/schema/AnetApiSchema.xsd\">"
            "<merchantAuthentication><name>LOGIN1</name><transactionKey>****</transactionKey>"
            "</merchantAuthentication><transactionRequest>"
            "<transactionType>authCaptureTransaction</transactionType><amount>45.5</amount>"
            "<payment><creditCard><cardNumber>************1111</cardNumber>"
            "<expirationDate>2029-07</expirationDate><cardCode>****</cardCode></creditCard>"
            "</payment><order><invoiceNumber>CC 1042</invoiceNumber></order>"
            "<transactionSettings/></transactionRequest></createTransactionRequest>");
  EXPECT_EQ(SerializeXml(anet), sent) << "the request itself is left as it is";

  pugi::xml_document keyed;
  pugi::xml_node root = BuildJetPayHeader(keyed, "SALE", {"T", "Version 1.0.0.0", "ID"});
  AppendJetPayEnteredCardSale(root,
                              {.card_number = "5500005555555559",
                               .card_present = false,
                               .zip = "",
                               .street = "",
                               .track_data = "",
                               .cvn = "987",
                               .expiry = "0729"},
                              Amount("1"));
  std::string masked = MaskedRequestText(keyed);
  EXPECT_NE(
      masked.find("<CardNum CardPresent=\"false\" Tokenize=\"true\">************5559</CardNum>"
                  "<CardExpMonth>07</CardExpMonth><CardExpYear>29</CardExpYear>"
                  "<CVV2>****</CVV2>"),
      std::string::npos)
      << masked;

  pugi::xml_document swiped;
  root = BuildJetPayHeader(swiped, "SALE", {"T", "Version 1.0.0.0", "ID"});
  AppendJetPayEnteredCardSale(root,
                              {.card_number = "",
                               .card_present = true,
                               .zip = "",
                               .street = "",
                               .track_data = "%B5500005555555559^DOE/J^2907?",
                               .cvn = "",
                               .expiry = ""},
                              Amount("1"));
  masked = MaskedRequestText(swiped);
  EXPECT_NE(masked.find("<Track1 Tokenize=\"true\">****</Track1>"), std::string::npos) << masked;
  EXPECT_EQ(masked.find("5559"), std::string::npos) << masked;
}

TEST(MaskedRequest, AnEmptyCardCodeStaysEmpty) {
  pugi::xml_document anet;
  AppendAnetEnteredCardSale(BuildAnetHeader(anet, "createTransactionRequest", {"L", ""}),
                            Amount("1"), {"4111", "2029-07", ""}, "CC 1");
  std::string masked = MaskedRequestText(anet);
  EXPECT_NE(masked.find("<transactionKey/>"), std::string::npos) << masked;
  EXPECT_NE(masked.find("<cardNumber>4111</cardNumber>"), std::string::npos) << masked;
  EXPECT_NE(masked.find("<cardCode/>"), std::string::npos) << masked;
}

}  // namespace
}  // namespace portavel
