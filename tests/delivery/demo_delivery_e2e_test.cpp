// The demo's delivery ticket recorded with the requests docs/delivery.md
// shows, as curl sends them to the demo: the customer's account page then
// shows the invoice with its taxes, fee and totals.
#include <gtest/gtest.h>

#include <regex>
#include <sstream>

#include "admin/demo_data.h"
#include "admin/demo_setup.h"
#include "delivery/delivery_fixture.h"
#include "support/fake_platform.h"
#include "support/file_bytes.h"

namespace portavel::testing {
namespace {

// The form data of every curl example for `endpoint` in the text: the -d
// body, or the query of the address.
std::vector<std::string> CurlExamples(const std::string& text, const std::string& endpoint) {
  std::vector<std::string> found;
  const std::regex curl("curl -s ['\"]?http://127\\.0\\.0\\.1:8080/cgi-bin/Portavel\\.exe/" +
                        endpoint + "(\\?([^'\" ]*)['\"])?(( \\\\\\n *| )-d '([^']*)')?");
  for (auto it = std::sregex_iterator(text.begin(), text.end(), curl); it != std::sregex_iterator();
       ++it) {
    found.push_back((*it)[2].matched ? (*it)[2].str() : (*it)[5].str());
  }
  return found;
}

class DemoDeliveryE2eTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // The demo data goes into an empty store, dated as the program's clock.
    for (const char* table : {"Accounts", "Company", "RemotePrefs"}) {
      portal.temp().store().Execute("UserData", "DELETE FROM " + QuoteIdentifier(table));
    }
    FakePlatform platform;
    platform.SetNow(*DateTime::FromCivil(2024, 3, 31, 10, 0, 0));
    std::ostringstream progress;
    LoadDemoData(portal.temp().store(), platform, progress);
  }

  std::string Send(const std::string& endpoint, const std::string& fields) {
    return portal
        .Send({{"REQUEST_METHOD", "POST"},
               {"PATH_INFO", "/" + endpoint},
               {"REMOTE_ADDR", "127.0.0.1"},
               {"CONTENT_TYPE", "application/x-www-form-urlencoded"},
               {"CONTENT_LENGTH", std::to_string(fields.size())}},
              fields)
        .output;
  }

  PortalFixture portal;
};

TEST_F(DemoDeliveryE2eTest, TheDocumentedDeliveryShowsOnTheCustomersAccountPage) {
  const std::string docs = ReadFileBytes(std::string(PORTAVEL_SOURCE_DIR) + "/docs/delivery.md");
  const std::vector<std::string> deliveries = CurlExamples(docs, "rd");
  ASSERT_EQ(deliveries.size(), 1u) << "docs/delivery.md shows one delivery";
  // scripts/demo prints the same request.
  const std::string demo_script = ReadFileBytes(std::string(PORTAVEL_SOURCE_DIR) + "/scripts/demo");
  EXPECT_NE(demo_script.find(deliveries[0]), std::string::npos);

  EXPECT_EQ(Send("rd", deliveries[0]), StatusResponse("200 RECORDED"));
  const DemoTicket& ticket = DemoDeliveryTicket();
  const std::string row =
      "<TR><TD Align=\"Left\">" + ticket.invoice_no +
      "</TD><TD Align=\"Left\">03-31-24</TD><TD Align=\"Left\">Heating Oil Delivery</TD>"
      "<TD Align=\"Right\">150.0</TD><TD Align=\"Right\">.00</TD>"
      "<TD Align=\"Right\">422.35</TD><TD Align=\"Right\">31.04</TD>"
      "<TD Align=\"Right\">453.39</TD><TD Align=\"Right\">.00</TD></TR>";
  auto account_page = [&] {
    return portal.Post("/MainAccountPg", "AccountID=HV1002", portal.LoginCookies("HV1002")).output;
  };
  EXPECT_NE(account_page().find(row), std::string::npos) << account_page();

  // Recorded again, the invoice stays as it is.
  EXPECT_EQ(Send("rd", deliveries[0]), StatusResponse("200 RECORDED"));
  EXPECT_NE(account_page().find(row), std::string::npos);

  for (std::string batch : CurlExamples(docs, "bi")) {
    // The example for tomorrow's run computes its dates with date(1); the
    // program's clock says today is 2024-03-31.
    for (const auto& [shell, value] :
         {std::pair<std::string, std::string>{"$period", "2404"}, {"$tomorrow", "4/1/2024"}}) {
      for (size_t at; (at = batch.find(shell)) != std::string::npos;) {
        batch.replace(at, shell.size(), value);
      }
    }
    EXPECT_EQ(Send("bi", batch), StatusResponse("200 Ok")) << batch;
  }
  EXPECT_EQ(CurlExamples(docs, "bi").size(), 2u);
}

}  // namespace
}  // namespace portavel::testing
