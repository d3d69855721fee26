#include <gtest/gtest.h>

#include "payments/gateways/anet_request.h"
#include "payments/gateways/jetpay_request.h"
#include "payments/gateways/transaction_id.h"
#include "payments/gateways/xml_document_text.h"
#include "support/fake_platform.h"

namespace portavel {
namespace {

Money Amount(const char* text) {
  return Money::Parse(text).value();
}

constexpr const char* kJetPayHeaderText =
    "<JetPay Version=\"2.0\"><TransactionType>SALE</TransactionType>"
    "<TerminalID>TERM77</TerminalID>"
    "<Application Version=\"Version 1.2.3.4\">Orvik Propane Software</Application>"
    "<Library Version=\"1.5\">VirtPOS SDK</Library><Gateway>JetPay</Gateway>"
    "<DeveloperID>8K3Qpd</DeveloperID><TransactionID>0123456789ABDEFEDC</TransactionID>";

std::string JetPaySale(const JetPayEnteredCard& card, Money amount) {
  pugi::xml_document document;
  pugi::xml_node root =
      BuildJetPayHeader(document, "SALE", {"TERM77", "Version 1.2.3.4", "0123456789ABDEFEDC"});
  AppendJetPayEnteredCardSale(root, card, amount);
  return SerializeXml(document);
}

TEST(JetPayRequest, EnteredCardSale) {
  JetPayEnteredCard card{.card_number = "4111111111111111",
                         .card_present = false,
                         .zip = "98501",
                         .street = "12 Elm St",
                         .track_data = "",
                         .cvn = "123",
                         .expiry = "0729"};
  EXPECT_EQ(JetPaySale(card, Amount("45.50")),
            std::string(kJetPayHeaderText) +
                "<IndustryInfo Type=\"MOTO\"/><Origin>PHONE ORDER</Origin>"
                "<CardNum CardPresent=\"false\" Tokenize=\"true\">4111111111111111</CardNum>"
                "<CardExpMonth>07</CardExpMonth><CardExpYear>29</CardExpYear><CVV2>123</CVV2>"
                "<Billing><Address>12 Elm St</Address><PostalCode>98501</PostalCode></Billing>"
                "<ReaderUsed>KEYPAD</ReaderUsed><TotalAmount>4550</TotalAmount></JetPay>");
}

TEST(JetPayRequest, OptionalPartsOfAnEnteredCardSale) {
  const std::string tail_start = "<CardExpMonth>07</CardExpMonth><CardExpYear>29</CardExpYear>";
  struct Case {
    const char* what;
    const char* zip;
    const char* street;
    std::string after_expiry;
  };
  const Case cases[] = {
      {"no address", "", "", "<ReaderUsed>KEYPAD</ReaderUsed>"},
      {"blanks only: no Billing", " ", " ", "<ReaderUsed>KEYPAD</ReaderUsed>"},
      {"street only", "", "1 Main",
       "<Billing><Address>1 Main</Address></Billing><ReaderUsed>KEYPAD</ReaderUsed>"},
      {"zip only", "98501", "",
       "<Billing><PostalCode>98501</PostalCode></Billing><ReaderUsed>KEYPAD</ReaderUsed>"},
  };
  for (const Case& c : cases) {
    // Without a CVN there is no CVV2 either.
    JetPayEnteredCard card{.card_number = "5",
                           .card_present = false,
                           .zip = c.zip,
                           .street = c.street,
                           .track_data = "",
                           .cvn = "",
                           .expiry = "0729"};
    std::string sale = JetPaySale(card, Amount("1"));
    EXPECT_NE(sale.find(tail_start + c.after_expiry + "<TotalAmount>100</TotalAmount></JetPay>"),
              std::string::npos)
        << c.what << ": " << sale;
  }
}

TEST(JetPayRequest, SwipedCardPresentSendsTheTrackInsteadOfTheNumber) {
  JetPayEnteredCard card{.card_number = "4111111111111111",
                         .card_present = true,
                         .zip = "98501",
                         .street = "",
                         .track_data = "%B4111^DOE/J^2907?",
                         .cvn = "123",
                         .expiry = "0729"};
  EXPECT_EQ(JetPaySale(card, Amount("2")),
            std::string(kJetPayHeaderText) +
                "<IndustryInfo Type=\"RETAIL\"/><Origin>POS</Origin>"
                "<ReaderUsed>MAGNETIC STRIPE</ReaderUsed>"
                "<Track1 Tokenize=\"true\">%B4111^DOE/J^2907?</Track1>"
                "<TotalAmount>200</TotalAmount></JetPay>");
}

TEST(JetPayRequest, StoredCardSale) {
  pugi::xml_document document;
  pugi::xml_node root =
      BuildJetPayHeader(document, "SALE", {"TERM77", "Version 1.2.3.4", "0123456789ABDEFEDC"});
  AppendJetPayStoredCardSale(root, "TOK-9", Amount("120.05"));
  EXPECT_EQ(SerializeXml(document), std::string(kJetPayHeaderText) +
                                        "<Token>TOK-9</Token><TotalAmount>12005</TotalAmount>"
                                        "</JetPay>");
}

TEST(JetPayRequest, AmountInWholeCentsRoundedDown) {
  EXPECT_EQ(AmountInCents(Amount("45.50")), "4550");
  EXPECT_EQ(AmountInCents(Amount("0.999")), "99");
  EXPECT_EQ(AmountInCents(Amount("0.0099")), "0");
  EXPECT_EQ(AmountInCents(Amount("100")), "10000");
  EXPECT_EQ(AmountInCents(Amount("-0.001")), "-1");
}

TEST(JetPayRequest, TransactionIdComesFromTheGuidsGroups) {
  FakePlatform platform;
  platform.QueueGuid(Guid::Parse("{01234567-89ab-cdef-fedc-ba9876543210}"));
  platform.QueueGuid(Guid::Parse("{AAAAAAAA-BBBB-CCCC-DDDD-EEEEEEEEEEEE}"));
  platform.QueueGuid(std::nullopt);
  EXPECT_EQ(NewTransactionId(platform), "0123456789ABDEFEDC");
  EXPECT_EQ(NewTransactionId(platform), "AAAAAAAABBBBCCCDDD");
  EXPECT_THROW(NewTransactionId(platform), std::runtime_error);
}

TEST(JetPayRequest, TransactionIdsOfTheRealPlatformDiffer) {
  std::string first = NewTransactionId(SystemPlatform());
  std::string second = NewTransactionId(SystemPlatform());
  EXPECT_NE(first, second);
  for (const std::string& id : {first, second}) {
    EXPECT_EQ(id.size(), 18u);
    EXPECT_EQ(id.find_first_not_of("0123456789ABCDEF"), std::string::npos) << id;
  }
}

constexpr const char* kAnetHeaderText =
    "<createTransactionRequest xmlns=\"AnetApi/xml/v1/schema/AnetApiSchema.xsd\">"
    "<merchantAuthentication><name>LOGIN1</name><transactionKey>KEY123</transactionKey>"
    "</merchantAuthentication>";

TEST(AnetRequest, EnteredCardSale) {
  pugi::xml_document document;
  pugi::xml_node root = BuildAnetHeader(document, "createTransactionRequest", {"LOGIN1", "KEY123"});
  AppendAnetEnteredCardSale(root, Amount("45.50"), {"4111111111111111", "2029-07", ""}, "CC 1042");
  EXPECT_EQ(SerializeXml(document),
            std::string(kAnetHeaderText) +
                "<transactionRequest><transactionType>authCaptureTransaction</transactionType>"
                "<amount>45.5</amount><payment><creditCard><cardNumber>4111111111111111"
                "</cardNumber><expirationDate>2029-07</expirationDate><cardCode/></creditCard>"
                "</payment><order><invoiceNumber>CC 1042</invoiceNumber></order>"
                "<transactionSettings/></transactionRequest></createTransactionRequest>");
}

TEST(AnetRequest, StoredCardSale) {
  pugi::xml_document document;
  pugi::xml_node root = BuildAnetHeader(document, "createTransactionRequest", {"LOGIN1", "KEY123"});
  AppendAnetStoredCardSale(root, Amount("100.00"), "CUST5", "PAY6", "1042");
  EXPECT_EQ(SerializeXml(document),
            std::string(kAnetHeaderText) +
                "<transactionRequest><transactionType>authCaptureTransaction</transactionType>"
                "<amount>100</amount><profile><customerProfileId>CUST5</customerProfileId>"
                "<paymentProfile><paymentProfileId>PAY6</paymentProfileId></paymentProfile>"
                "</profile><order><invoiceNumber>1042</invoiceNumber></order>"
                "</transactionRequest></createTransactionRequest>");
}

TEST(AnetRequest, ProfileDeletion) {
  pugi::xml_document document;
  AppendProfileDeletion(BuildAnetHeader(document, "deleteCustomerProfileRequest", {"L", "K"}),
                        "1234");
  EXPECT_EQ(SerializeXml(document),
            "<deleteCustomerProfileRequest xmlns=\"AnetApi/xml/v1/schema/AnetApiSchema.xsd\">"
            "<merchantAuthentication><name>L</name><transactionKey>K</transactionKey>"
            "</merchantAuthentication><customerProfileId>1234</customerProfileId>"
            "</deleteCustomerProfileRequest>");
}

TEST(AnetRequest, AnswerLosesItsByteOrderMarkOrElseItsFirstByte) {
  EXPECT_EQ(DropAnswerLead("\xEF\xBB\xBF<a/>"), "<a/>");
  EXPECT_EQ(DropAnswerLead("<a/>"), "a/>");
  EXPECT_EQ(DropAnswerLead("x"), "");
  EXPECT_EQ(DropAnswerLead(""), "");
}

}  // namespace
}  // namespace portavel
