// Who may call the truck-side endpoints: the configured client addresses
// only. Answered by the built program as a CGI process.
#include <gtest/gtest.h>

#include <string_view>

#include "data/store.h"
#include "delivery/delivery_fixture.h"
#include "support/file_bytes.h"

namespace portavel::testing {
namespace {

const std::string kRefused =
    "Status: 403 Forbidden\r\nContent-Type: text/html\r\nContent-Length: 17\r\nContent:\r\n\r\n"
    "ERR NOT ALLOWED\r\n";

class AllowedClientsE2eTest : public ::testing::Test, protected DeliveryFixture {};

TEST_F(AllowedClientsE2eTest, OnlyLoopbackByDefault) {
  EXPECT_EQ(Send("/bi", "Batch=42&Truck=7", "::1"), StatusResponse("200 Ok"));
  EXPECT_EQ(Send("/rd", "Batch=42", "127.0.0.1"), StatusResponse("ERR NO ACCOUNT"));
  EXPECT_EQ(Send("/rd", "Batch=42", "::ffff:127.0.0.1"), StatusResponse("ERR NO ACCOUNT"));

  const std::string before = Snapshot();
  for (const char* address : {"203.0.113.9", "127.0.0.2", "::2", "", "localhost"}) {
    EXPECT_EQ(Send("/rd", kTicketDelivery, address), kRefused) << address;
    EXPECT_EQ(Send("/bi", "Batch=613&Truck=7", address), kRefused) << address;
    EXPECT_EQ(Send("/RD", "", address), kRefused) << address;
  }
  EXPECT_EQ(Snapshot(), before);
}

TEST_F(AllowedClientsE2eTest, ARefusedClientTouchesNoTableTheEndpointsUse) {
  // Tables the endpoints would read or write first are gone: a refusal
  // must not notice.
  for (const char* table :
       {"Accounts", "Tanks", "Manifest", "Invoices", "Transactions", "Employee", "Keys"}) {
    Exec("DROP TABLE " + QuoteIdentifier(table));
  }
  const std::string log = (temp().folder() / "operator.log").string();
  std::map<std::string, std::string> environment = {{"REQUEST_METHOD", "GET"},
                                                    {"PATH_INFO", "/rd"},
                                                    {"QUERY_STRING", kTicketDelivery},
                                                    {"REMOTE_ADDR", "198.51.100.20"},
                                                    {"PORTAVEL_OPERATOR_LOG", log}};
  EXPECT_EQ(portal.Send(environment, "").output, kRefused);
  // The operator learns when, which address to allow, and where; the
  // seconds of the time depend on how long the clock has run.
  const std::string line = ReadFileBytes(log);
  constexpr std::string_view kTimePrefix = "Portavel: 2024-03-31 10:00:";
  ASSERT_EQ(line.substr(0, kTimePrefix.size()), kTimePrefix) << line;
  EXPECT_EQ(line.substr(kTimePrefix.size() + 2),
            " GET /rd: Refused for the client address \"198.51.100.20\": "
            "not in [delivery] allowed_clients of " +
                portal.config_path() + "\n");
}

TEST_F(AllowedClientsE2eTest, TheConfigurationNamesTheTruckSystemsAddresses) {
  portal.AppendConfig("[delivery]\nallowed_clients = [\"10.20.0.0/16\", \"2001:db8:7::/48\"]\n");
  for (const char* address : {"10.20.3.4", "::ffff:10.20.200.1", "2001:db8:7:1::9"}) {
    EXPECT_EQ(Send("/bi", "Batch=42&Truck=7", address), StatusResponse("200 Ok")) << address;
  }
  for (const char* address : {"127.0.0.1", "::1", "10.21.0.1", "2001:db8:8::1"}) {
    EXPECT_EQ(Send("/bi", "Batch=42&Truck=7", address), kRefused) << address;
  }
}

TEST(AllowedClientsEmptyListTest, AnEmptyListTurnsTheEndpointsOff) {
  DeliveryFixture fixture;
  fixture.portal.AppendConfig("[delivery]\nallowed_clients = []\n");
  EXPECT_EQ(fixture.Send("/rd", kTicketDelivery, "127.0.0.1"), kRefused);
  EXPECT_EQ(fixture.Send("/bi", "Batch=42", "::1"), kRefused);
}

}  // namespace
}  // namespace portavel::testing
