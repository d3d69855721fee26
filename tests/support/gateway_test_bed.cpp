#include "support/gateway_test_bed.h"

#include "data/data_set.h"

namespace portavel::testing {

GatewayTestBed::GatewayTestBed(const FakeGateway::Options& options) : gateway_(options) {
  std::string base = gateway_.base_url();
  GatewayConfig& gateways = config_.gateways;
  gateways.form_post_urls = {base, base, base};
  gateways.jetpay_url = base + "jetpay";
  gateways.jetpay_test_url = base + "jetpay-test";
  gateways.authorize_net_url = base + "anet/";
  gateways.authorize_net_sandbox_url = base + "anet-sandbox/";
  gateways.ca_file = gateway_.ca_file();
  temp_.Insert("Keys", {{"TableName", Value::Text("Log")},
                        {"FieldName", Value::Text("Logkey")},
                        {"NextNumber", Value::Integer(1)}});
}

std::vector<std::string> GatewayTestBed::EventLog() {
  std::vector<std::string> texts;
  DataSet log(temp_.store(), "UserData", "Log");
  log.SetIndexFieldNames("Logkey");
  log.Open();
  for (log.First(); !log.Eof(); log.Next()) texts.push_back(log.FieldByName("Logdesc").AsString());
  return texts;
}

}  // namespace portavel::testing
