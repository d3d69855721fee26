// A dealer set up for the XML gateway client against the fake HTTPS
// gateway: preferences naming the merchant, a paying account with a card
// on file, and a posted payment line of 45.50 on invoice "CC 1042".
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "data/data_set.h"
#include "payments/gateways/xml_gateway.h"
#include "support/gateway_test_bed.h"
#include "support/payment_fixture.h"
#include "support/posting_keys.h"

namespace portavel::testing {

inline constexpr int kAccountIndex = 314;
inline constexpr int kBatchKey = 88;
inline constexpr int kTransKey = 90211;

// The columns of a ccTransactions row the gateways fill, as text ("" for
// null).
using CardRow = std::map<std::string, std::string>;

class XmlGatewayTest : public ::testing::Test {
 protected:
  explicit XmlGatewayTest(int merchant_id, const FakeGateway::Options& options = {})
      : bed_(options), merchant_id_(merchant_id) {}

  void SetUp() override {
    ASSERT_TRUE(bed_.gateway().ready()) << bed_.gateway().error();
    InsertPostingKeys(bed_.temp());
    bed_.temp().Insert("RemotePrefs", {{"DefaultBankAccount", Value::Text("1010")},
                                       {"MerchantID", Value::Integer(merchant_id_)},
                                       {"CCUserName", Value::Text("LOGIN1")},
                                       {"CCPassword", Value::Text("KEY123")},
                                       {"CCMin", Value::Currency(Money::FromWhole(1))},
                                       {"NextCCNo", Value::Integer(1043)},
                                       {"CCDebug", Value::Boolean(false)},
                                       {"CCUseDevAddress", Value::Boolean(false)}});
    bed_.temp().Insert("Accounts", {{"AccountIndex", Value::Integer(kAccountIndex)},
                                    {"AccountID", Value::Text("HV1001")},
                                    {"CcCustkey", Value::Text("CUST5")},
                                    {"CCInfokey", Value::Text("PAY6")},
                                    {"Cclast4", Value::Text("Visa 1111")}});
    bed_.temp().Insert("Transactions",
                       {{"TransKey", Value::Integer(kTransKey)},
                        {"BatchKey", Value::Integer(kBatchKey)},
                        {"InvoiceNo", Value::Text("CC 1042")},
                        {"AccountID", Value::Text("HV1001")},
                        {"PaymentAmount", Value::Currency(*Money::Parse("45.50"))}});
    transaction_ = std::make_unique<DataSet>(bed_.store(), "UserData", "Transactions");
    transaction_->Open();
  }

  // A client made the way the payment pages make one.
  std::unique_ptr<TCreditCard_JetPay> Client() {
    return std::make_unique<TCreditCard_JetPay>(bed_.context(), kAccountIndex, merchant_id_);
  }
  // An entered card as the card-entry page passes it.
  bool ChargeCard(const std::string& card_number, const std::string& expiry) {
    return Client()->ChargeCard(*transaction_, card_number, false, "98501", "12 Elm St", "",
                                "Jo Doe", "123", expiry);
  }
  bool ChargeStoredCard() { return Client()->ChargeStoredCard(*transaction_); }

  std::string InvoiceNoOfTheLine() {
    DataSet lines(bed_.store(), "UserData", "Transactions");
    lines.Open();
    return lines.FieldByName("InvoiceNo").AsString();
  }

  std::vector<CardRow> CardRows() {
    DataSet rows(bed_.store(), "UserData", "ccTransactions");
    rows.SetIndexFieldNames("CCTransKey");
    rows.Open();
    std::vector<CardRow> result;
    for (rows.First(); !rows.Eof(); rows.Next()) {
      CardRow row;
      for (const char* name : {"AccountKey", "RespMsg", "PayBatchkey", "Approved", "PayTransKey",
                               "TransAmount", "Response", "PNRef", "TransactionID", "Token",
                               "TransType", "CCNumLast4", "merchantId"}) {
        row[name] = rows.FieldByName(name).AsString();
      }
      result.push_back(row);
    }
    return result;
  }

  // The row of a charge of the fixture's payment line.
  CardRow Row(bool approved, const std::string& response, const std::string& message,
              const std::string& transaction_id, const std::string& token,
              const std::string& request_kind, const std::string& masked_card = "") {
    return {{"AccountKey", std::to_string(kAccountIndex)},
            {"RespMsg", message},
            {"PayBatchkey", approved ? std::to_string(kBatchKey) : ""},
            {"Approved", approved ? "True" : "False"},
            {"PayTransKey", approved ? std::to_string(kTransKey) : "-1"},
            {"TransAmount", "45.5"},
            {"Response", response},
            {"PNRef", ""},
            {"TransactionID", transaction_id},
            {"Token", token},
            {"TransType", request_kind},
            {"CCNumLast4", masked_card},
            {"merchantId", std::to_string(merchant_id_)}};
  }
  CardRow ErrorRow(bool approved, const std::string& masked_card = "") {
    return Row(approved, "ERROR", "ERROR", "ERROR", "-98", "ERROR", masked_card);
  }

  // The row a charge leaves when no definite answer came.
  CardRow NoAnswerRow(const std::string& invoice_no, const std::string& problem) {
    return Row(false, "NO ANSWER",
               "No definite answer: invoice " + invoice_no + ", amount 45.5: " + problem, "", "",
               "SALE");
  }
  // The operator's and the event log's line for it, its key as "N".
  std::string NoAnswerLine(const std::string& invoice_no, const std::string& problem) {
    return "No definite answer from the card gateway: account " + std::to_string(kAccountIndex) +
           ", amount 45.5, invoice " + invoice_no + ", merchant " + std::to_string(merchant_id_) +
           ", card log key N: " + problem;
  }
  // Lines with card log keys written "N", as NoAnswerLine has them.
  static std::vector<std::string> WithoutKeys(std::vector<std::string> lines) {
    const std::string key = "card log key ";
    for (std::string& line : lines) {
      if (size_t at = line.find(key); at != std::string::npos) {
        size_t end = line.find(':', at);
        line.replace(at + key.size(), end - at - key.size(), "N");
      }
    }
    return lines;
  }
  std::vector<std::string> MessagesSince(size_t first) {
    return WithoutKeys(
        std::vector<std::string>(OperatorMessages().begin() + first, OperatorMessages().end()));
  }

  const std::vector<std::string>& OperatorMessages() { return bed_.platform().operator_messages(); }

  GatewayTestBed bed_;
  int merchant_id_;
  std::unique_ptr<DataSet> transaction_;
};

}  // namespace portavel::testing
