#include "payments/merchant_settings.h"

#include <exception>

#include "config/config.h"
#include "data/data_set.h"
#include "data/query.h"
#include "data/store.h"
#include "payments/merchant_ids.h"

namespace portavel {
namespace {

// The form-post gateway's development login.
constexpr const char* kFormPostDevUserName = "kqmd4810";
constexpr const char* kFormPostDevPassword = "TXp7Lwbe";
constexpr const char* kFormPostDevVendorId = "847";
// Authorize.Net's sandbox login, for when the preferences name none.
constexpr const char* kSandboxLoginId = "9Rkd3Hq2";
constexpr const char* kSandboxTransactionKey = "7Ja2Wmx8QE51pR3c";

// The first MerchantID the statement returns; -1 without a row or when null.
int32_t FirstMerchantId(Query& query) {
  query.Open();
  if (query.Eof() || query.FieldByName("MerchantID").IsNull()) return -1;
  return static_cast<int32_t>(query.FieldByName("MerchantID").AsInteger());
}

enum class ClientFamily { kFormPost, kXml };

// The credential steps both clients share; the endpoint is left to each.
GatewayCredentials ReadCommonCredentials(Store& store, ClientFamily family, int32_t account_index,
                                         int32_t merchant_id, DataSet& prefs) {
  GatewayCredentials credentials;
  if (merchant_id == -1) merchant_id = ResolveMerchantId(store, account_index);
  credentials.merchant_id = merchant_id;

  auto take_prefs_login = [&] {
    credentials.user_name = prefs.FieldByName("CCUserName").AsString();
    credentials.password = prefs.FieldByName("CCPassword").AsString();
    credentials.vendor_id = prefs.FieldByName("CCVendorID").AsString();
  };
  // A missing row reads as merchant 0, like a null field.
  int32_t prefs_merchant_id = static_cast<int32_t>(prefs.FieldByName("MerchantID").AsInteger());
  bool prefs_merchant = prefs_merchant_id == merchant_id;
  if (prefs_merchant) {
    take_prefs_login();
  } else {
    credentials.user_name = GetMerchantSetting(store, kMerchantUserName, merchant_id);
    credentials.password = GetMerchantSetting(store, kMerchantPassword, merchant_id);
    credentials.vendor_id = GetMerchantSetting(store, kMerchantVendorId, merchant_id);
    if (credentials.user_name.empty() || credentials.password.empty()) {
      take_prefs_login();
      if (family == ClientFamily::kXml) credentials.merchant_id = prefs_merchant_id;
    }
  }
  if (family == ClientFamily::kXml || prefs_merchant) {
    credentials.minimum_charge = prefs.FieldByName("CCMin").AsMoney();
    credentials.next_card_number = prefs.FieldByName("NextCCNo").AsString();
    credentials.trace = prefs.FieldByName("CCDebug").AsBoolean();
  }
  credentials.use_dev_address = prefs.FieldByName("CCUseDevAddress").AsBoolean();
  return credentials;
}

// Sets the address, or names the setting that would give one.
void SetEndpoint(GatewayCredentials& credentials, const std::string& address, std::string setting) {
  credentials.base_address = address;
  if (address.empty()) credentials.missing_setting = std::move(setting);
}

}  // namespace

int32_t GetPrefsMerchantId(Store& store) {
  Query query(store, "UserData",
              R"(select "MerchantID" from "RemotePrefs" order by rowid limit 1)");
  return FirstMerchantId(query);
}

int32_t GetAccountMerchantId(Store& store, int32_t account_index) {
  Query query(store, "UserData",
              R"(select "MerchantID" from "Accounts" where "AccountIndex" = :accountindex )"
              "order by rowid limit 1");
  query.SetParam("accountIndex", Value::Integer(account_index));
  return FirstMerchantId(query);
}

int32_t ResolveMerchantId(Store& store, int32_t account_index) {
  if (account_index < 0) return -1;
  int32_t merchant_id;
  try {
    merchant_id = GetAccountMerchantId(store, account_index);
  } catch (const std::exception&) {
    merchant_id = -1;
  }
  if (merchant_id < 0) {
    int32_t prefs_merchant_id = GetPrefsMerchantId(store);
    if (prefs_merchant_id != -1) merchant_id = prefs_merchant_id;
  }
  return merchant_id;
}

std::string GetMerchantSetting(Store& store, int kind, int32_t merchant_id) {
  const char* field_name = kind == kMerchantUserName   ? "CCUsername"
                           : kind == kMerchantPassword ? "ccpassword"
                           : kind == kMerchantVendorId ? "ccvendorid"
                                                       : nullptr;
  if (field_name == nullptr || !store.TableExists("UserData", "CCMerchants.db")) return "";
  DataSet merchants(store, "UserData", "CCMerchants.db");
  merchants.Open();
  if (merchants.IsEmpty() || !merchants.Locate({{"MerchantID", Value::Integer(merchant_id)}})) {
    return "";
  }
  return merchants.FieldByName(field_name).AsString();
}

GatewayCredentials ReadFormPostCredentials(const ServiceContext& context, int32_t account_index,
                                           int32_t merchant_id) {
  DataSet prefs(context.store, "UserData", "RemotePrefs.db");
  prefs.Open();
  GatewayCredentials credentials = ReadCommonCredentials(context.store, ClientFamily::kFormPost,
                                                         account_index, merchant_id, prefs);
  if (credentials.use_dev_address) {
    SetEndpoint(credentials, prefs.FieldByName("CCDevAddress").AsString(),
                "RemotePrefs.CCDevAddress");
    credentials.user_name = kFormPostDevUserName;
    credentials.password = kFormPostDevPassword;
    credentials.vendor_id = kFormPostDevVendorId;
  } else if (credentials.merchant_id >= 0 &&
             credentials.merchant_id < static_cast<int32_t>(kFormPostEndpointCount)) {
    size_t index = static_cast<size_t>(credentials.merchant_id);
    const std::vector<std::string>& urls = context.config.gateways.form_post_urls;
    SetEndpoint(credentials, index < urls.size() ? urls[index] : "",
                "gateways.form_post_urls[" + std::to_string(index) + "]");
  }
  return credentials;
}

GatewayCredentials ReadXmlCredentials(const ServiceContext& context, int32_t account_index,
                                      int32_t merchant_id) {
  DataSet prefs(context.store, "UserData", "RemotePrefs.db");
  prefs.Open();
  GatewayCredentials credentials =
      ReadCommonCredentials(context.store, ClientFamily::kXml, account_index, merchant_id, prefs);
  const GatewayConfig& gateways = context.config.gateways;
  bool dev = credentials.use_dev_address;
  if (credentials.merchant_id == kJetPayMerchantId) {
    if (dev) {
      SetEndpoint(credentials, gateways.jetpay_test_url, "gateways.jetpay_test_url");
      credentials.user_name = prefs.FieldByName("CCDevUser").AsString();
    } else {
      SetEndpoint(credentials, gateways.jetpay_url, "gateways.jetpay_url");
    }
  } else if (credentials.merchant_id == kAuthorizeNetMerchantId) {
    if (dev) {
      SetEndpoint(credentials, gateways.authorize_net_sandbox_url,
                  "gateways.authorize_net_sandbox_url");
      // The store keeps an empty text as null.
      const Field& dev_user = prefs.FieldByName("CCDevUser");
      const Field& dev_password = prefs.FieldByName("CCDevPW");
      credentials.user_name = dev_user.IsNull() ? kSandboxLoginId : dev_user.AsString();
      credentials.password =
          dev_password.IsNull() ? kSandboxTransactionKey : dev_password.AsString();
    } else {
      SetEndpoint(credentials, gateways.authorize_net_url, "gateways.authorize_net_url");
    }
  }
  return credentials;
}

}  // namespace portavel
