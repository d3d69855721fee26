// What a request process reads before it serves the request.
#include "app/process_start.h"

#include <gtest/gtest.h>

#include "support/fake_platform.h"
#include "support/portal_fixture.h"

namespace portavel::testing {
namespace {

constexpr const char* kIdentity = "{6F9619FF-8B86-D011-B42D-00C04FC964FF}";

class PaymentUrlStartTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Exec("INSERT INTO scid (Data) VALUES (x'FF19966F868B11D0B42D00C04FC964FF')");
    Exec("DROP TABLE PMNT_URL");
  }
  void Exec(const std::string& sql) { portal.temp().store().Execute("UserData", sql); }
  ProcessContext Start() {
    const std::string path = portal.config_path();
    return StartProcess(platform, [&](std::string_view name) -> std::optional<std::string> {
      if (name == "PORTAVEL_CONFIG") return path;
      return std::nullopt;
    });
  }

  PortalFixture portal;
  FakePlatform platform;
};

TEST_F(PaymentUrlStartTest, TheNamedInstallationsCreateTheTableAndKeepItsAddress) {
  portal.AppendConfig(std::string("[installation]\npayment_url = [\"") + kIdentity + "\"]\n");
  EXPECT_EQ(Start().payment_url, std::nullopt);
  EXPECT_TRUE(portal.temp().store().TableExists("UserData", "PMNT_URL"));

  portal.temp().Insert("PMNT_URL", {{"URL", Value::Text("https://pay.example/dealer/7")}});
  EXPECT_EQ(Start().payment_url, "https://pay.example/dealer/7");
}

TEST_F(PaymentUrlStartTest, OtherInstallationsLeaveTheStoreAlone) {
  EXPECT_EQ(Start().payment_url, std::nullopt);
  EXPECT_FALSE(portal.temp().store().TableExists("UserData", "PMNT_URL"));
}

}  // namespace
}  // namespace portavel::testing
