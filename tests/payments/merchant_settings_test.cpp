#include "payments/merchant_settings.h"

#include <gtest/gtest.h>

#include "config/config.h"
#include "data/installation_identity.h"
#include "support/fake_platform.h"
#include "support/payment_fixture.h"
#include "support/temp_store.h"

namespace portavel {
namespace {

using testing::SetRemotePref;
using testing::TempStore;

class MerchantSettingsTest : public ::testing::Test {
 protected:
  MerchantSettingsTest() {
    config_.gateways.form_post_urls = {"https://fp0.test/", "https://fp1.test/",
                                       "https://fp2.test/"};
    config_.gateways.jetpay_url = "https://jetpay.test/jp";
    config_.gateways.jetpay_test_url = "https://jetpay-test.test/jp";
    config_.gateways.authorize_net_url = "https://anet.test/";
    config_.gateways.authorize_net_sandbox_url = "https://anet-sandbox.test/";
    temp_.Insert("Accounts", {{"AccountIndex", Value::Integer(10)},
                              {"AccountID", Value::Text("OWN2")},
                              {"MerchantID", Value::Integer(2)}});
    temp_.Insert("Accounts",
                 {{"AccountIndex", Value::Integer(11)}, {"AccountID", Value::Text("NONE")}});
    temp_.Insert("CCMerchants", {{"MerchantID", Value::Integer(2)},
                                 {"CCUsername", Value::Text("m2-user")},
                                 {"ccpassword", Value::Text("m2-pw")},
                                 {"ccvendorid", Value::Text("m2-vendor")}});
    // No password: the preferences' login is used instead.
    temp_.Insert("CCMerchants", {{"MerchantID", Value::Integer(0)},
                                 {"CCUsername", Value::Text("m0-user")},
                                 {"ccvendorid", Value::Text("m0-vendor")}});
    temp_.Insert("CCMerchants", {{"MerchantID", Value::Integer(4)},
                                 {"CCUsername", Value::Text("anet-login")},
                                 {"ccpassword", Value::Text("anet-key")}});
  }

  void InsertPrefs(int merchant_id, bool dev = false) {
    temp_.Insert("RemotePrefs", {{"MerchantID", Value::Integer(merchant_id)},
                                 {"CCUserName", Value::Text("prefs-user")},
                                 {"CCPassword", Value::Text("prefs-pw")},
                                 {"CCVendorID", Value::Text("prefs-vendor")},
                                 {"CCMin", Value::Currency(Money::FromWhole(5))},
                                 {"NextCCNo", Value::Integer(1043)},
                                 {"CCDebug", Value::Boolean(true)},
                                 {"CCUseDevAddress", Value::Boolean(dev)},
                                 {"CCDevAddress", Value::Text("https://dev.test/")}});
  }

  Store& store() { return temp_.store(); }
  ServiceContext context() { return {config_, store(), identity_, platform_}; }

  TempStore temp_;
  FakePlatform platform_;
  Config config_;
  InstallationIdentity identity_;
};

TEST_F(MerchantSettingsTest, MerchantIdOfPreferencesAndAccounts) {
  EXPECT_EQ(GetPrefsMerchantId(store()), -1) << "no preferences row";
  EXPECT_EQ(ResolveMerchantId(store(), 11), -1);
  InsertPrefs(1);
  EXPECT_EQ(GetPrefsMerchantId(store()), 1);
  EXPECT_EQ(GetAccountMerchantId(store(), 10), 2);
  EXPECT_EQ(GetAccountMerchantId(store(), 11), -1) << "null field";
  EXPECT_EQ(GetAccountMerchantId(store(), 99), -1) << "no such account";
  EXPECT_EQ(ResolveMerchantId(store(), 10), 2) << "the account's own wins";
  EXPECT_EQ(ResolveMerchantId(store(), 11), 1);
  EXPECT_EQ(ResolveMerchantId(store(), 99), 1);
  EXPECT_EQ(ResolveMerchantId(store(), -1), -1);
  SetRemotePref(store(), "MerchantID", Value::Null());
  EXPECT_EQ(GetPrefsMerchantId(store()), -1);
  EXPECT_EQ(ResolveMerchantId(store(), 11), -1);
}

TEST_F(MerchantSettingsTest, MerchantSettingReadsTheMerchantsRow) {
  EXPECT_EQ(GetMerchantSetting(store(), kMerchantUserName, 2), "m2-user");
  EXPECT_EQ(GetMerchantSetting(store(), kMerchantPassword, 2), "m2-pw");
  EXPECT_EQ(GetMerchantSetting(store(), kMerchantVendorId, 2), "m2-vendor");
  EXPECT_EQ(GetMerchantSetting(store(), kMerchantPassword, 0), "");
  EXPECT_EQ(GetMerchantSetting(store(), kMerchantUserName, 3), "") << "no such merchant";
  EXPECT_EQ(GetMerchantSetting(store(), 7, 2), "") << "no such kind";
  store().Execute("UserData", "DROP TABLE CCMerchants");
  EXPECT_EQ(GetMerchantSetting(store(), kMerchantUserName, 2), "") << "no table";
}

// What a client would hold, side by side with what is expected.
struct Expected {
  const char* user_name;
  const char* password;
  const char* vendor_id;
  int32_t merchant_id;
  int64_t minimum_whole;
  const char* next_card_number;
  bool trace;
  const char* base_address;
  const char* missing_setting = "";
};

void ExpectCredentials(const GatewayCredentials& got, const Expected& want) {
  EXPECT_EQ(got.user_name, want.user_name);
  EXPECT_EQ(got.password, want.password);
  EXPECT_EQ(got.vendor_id, want.vendor_id);
  EXPECT_EQ(got.merchant_id, want.merchant_id);
  EXPECT_EQ(got.minimum_charge, Money::FromWhole(want.minimum_whole));
  EXPECT_EQ(got.next_card_number, want.next_card_number);
  EXPECT_EQ(got.trace, want.trace);
  EXPECT_EQ(got.base_address, want.base_address);
  EXPECT_EQ(got.missing_setting, want.missing_setting);
}

TEST_F(MerchantSettingsTest, FormPostCredentials) {
  InsertPrefs(1);
  struct Case {
    int32_t account_index;
    int32_t merchant_id;
    Expected want;
  } cases[] = {
      // The preferences' merchant: everything from the preferences.
      {11, 1, {"prefs-user", "prefs-pw", "prefs-vendor", 1, 5, "1043", true, "https://fp1.test/"}},
      // Another merchant: its own login, no minimum, counter or tracing.
      {11, 2, {"m2-user", "m2-pw", "m2-vendor", 2, 0, "", false, "https://fp2.test/"}},
      // Its row lacks a password: the preferences' login, yet its own endpoint.
      {11, 0, {"prefs-user", "prefs-pw", "prefs-vendor", 0, 0, "", false, "https://fp0.test/"}},
      // -1 resolves through the account.
      {10, -1, {"m2-user", "m2-pw", "m2-vendor", 2, 0, "", false, "https://fp2.test/"}},
      {11, -1, {"prefs-user", "prefs-pw", "prefs-vendor", 1, 5, "1043", true, "https://fp1.test/"}},
      // No form-post endpoint for other ids.
      {11, 4, {"anet-login", "anet-key", "", 4, 0, "", false, ""}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << "merchant " << c.merchant_id);
    ExpectCredentials(ReadFormPostCredentials(context(), c.account_index, c.merchant_id), c.want);
  }

  config_.gateways.form_post_urls = {"https://fp0.test/", ""};
  ExpectCredentials(ReadFormPostCredentials(context(), 11, 1),
                    {"prefs-user", "prefs-pw", "prefs-vendor", 1, 5, "1043", true, "",
                     "gateways.form_post_urls[1]"});
  ExpectCredentials(
      ReadFormPostCredentials(context(), 11, 2),
      {"m2-user", "m2-pw", "m2-vendor", 2, 0, "", false, "", "gateways.form_post_urls[2]"});
}

TEST_F(MerchantSettingsTest, FormPostDevelopmentSwitch) {
  InsertPrefs(1, /*dev=*/true);
  GatewayCredentials dev = ReadFormPostCredentials(context(), 11, 2);
  ExpectCredentials(dev, {"kqmd4810", "TXp7Lwbe", "847", 2, 0, "", false, "https://dev.test/"});
  EXPECT_TRUE(dev.use_dev_address);
  SetRemotePref(store(), "CCDevAddress", Value::Null());
  ExpectCredentials(
      ReadFormPostCredentials(context(), 11, 1),
      {"kqmd4810", "TXp7Lwbe", "847", 1, 5, "1043", true, "", "RemotePrefs.CCDevAddress"});
}

TEST_F(MerchantSettingsTest, WithoutPreferencesRowTheMerchantTableOrNothing) {
  // A missing row counts as merchant 0 with null fields.
  ExpectCredentials(ReadFormPostCredentials(context(), 11, 0),
                    {"", "", "", 0, 0, "", false, "https://fp0.test/"});
  ExpectCredentials(ReadFormPostCredentials(context(), 11, 2),
                    {"m2-user", "m2-pw", "m2-vendor", 2, 0, "", false, "https://fp2.test/"});
}

TEST_F(MerchantSettingsTest, XmlCredentials) {
  InsertPrefs(3);
  // Minimum, counter and tracing always come from the preferences.
  ExpectCredentials(
      ReadXmlCredentials(context(), 11, 3),
      {"prefs-user", "prefs-pw", "prefs-vendor", 3, 5, "1043", true, "https://jetpay.test/jp"});
  ExpectCredentials(ReadXmlCredentials(context(), 11, 4),
                    {"anet-login", "anet-key", "", 4, 5, "1043", true, "https://anet.test/"});
  // Merchant 0 lacks a password: the preferences' login and merchant id.
  ExpectCredentials(
      ReadXmlCredentials(context(), 11, 0),
      {"prefs-user", "prefs-pw", "prefs-vendor", 3, 5, "1043", true, "https://jetpay.test/jp"});
  config_.gateways.jetpay_url = "";
  config_.gateways.authorize_net_url = "";
  ExpectCredentials(
      ReadXmlCredentials(context(), 11, 3),
      {"prefs-user", "prefs-pw", "prefs-vendor", 3, 5, "1043", true, "", "gateways.jetpay_url"});
  ExpectCredentials(
      ReadXmlCredentials(context(), 11, 4),
      {"anet-login", "anet-key", "", 4, 5, "1043", true, "", "gateways.authorize_net_url"});
}

TEST_F(MerchantSettingsTest, XmlClientFollowsThePreferencesMerchantWhereFormPostStays) {
  InsertPrefs(1);
  store().Execute("UserData", "UPDATE CCMerchants SET ccpassword = NULL WHERE MerchantID = 2");
  GatewayCredentials xml = ReadXmlCredentials(context(), 11, 2);
  EXPECT_EQ(xml.merchant_id, 1);
  EXPECT_EQ(xml.user_name, "prefs-user");
  EXPECT_EQ(xml.base_address, "") << "merchant 1 is no XML gateway";
  EXPECT_EQ(xml.missing_setting, "");
  GatewayCredentials form_post = ReadFormPostCredentials(context(), 11, 2);
  EXPECT_EQ(form_post.merchant_id, 2);
  EXPECT_EQ(form_post.user_name, "prefs-user");
  EXPECT_EQ(form_post.base_address, "https://fp2.test/");
}

TEST_F(MerchantSettingsTest, XmlDevelopmentSwitch) {
  InsertPrefs(3, /*dev=*/true);
  SetRemotePref(store(), "CCDevUser", Value::Text("dev-terminal"));
  GatewayCredentials jetpay = ReadXmlCredentials(context(), 11, 3);
  ExpectCredentials(jetpay, {"dev-terminal", "prefs-pw", "prefs-vendor", 3, 5, "1043", true,
                             "https://jetpay-test.test/jp"});
  EXPECT_TRUE(jetpay.use_dev_address);
  ExpectCredentials(
      ReadXmlCredentials(context(), 11, 4),
      {"dev-terminal", "7Ja2Wmx8QE51pR3c", "", 4, 5, "1043", true, "https://anet-sandbox.test/"});
  SetRemotePref(store(), "CCDevUser", Value::Null());
  ExpectCredentials(
      ReadXmlCredentials(context(), 11, 4),
      {"9Rkd3Hq2", "7Ja2Wmx8QE51pR3c", "", 4, 5, "1043", true, "https://anet-sandbox.test/"});
  SetRemotePref(store(), "CCDevPW", Value::Text("dev-key"));
  EXPECT_EQ(ReadXmlCredentials(context(), 11, 4).password, "dev-key");
  config_.gateways.jetpay_test_url = "";
  EXPECT_EQ(ReadXmlCredentials(context(), 11, 3).missing_setting, "gateways.jetpay_test_url");
}

}  // namespace
}  // namespace portavel
