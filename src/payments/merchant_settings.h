// The merchant id that picks the card gateway, the per-merchant credentials,
// and what a gateway client gathers when it is created: credentials,
// minimum charge, trace switch and the endpoint of its merchant id.
#pragma once

#include <cstdint>
#include <string>

#include "data/service_context.h"
#include "money/money.h"

namespace portavel {

class Store;

// The preferences' MerchantID; -1 without a row or with a null field.
int32_t GetPrefsMerchantId(Store& store);
// The account's own MerchantID; -1 when no account has the index or the
// field is null.
int32_t GetAccountMerchantId(Store& store, int32_t account_index);
// The account's merchant id, else the preferences' one; -1 for a negative
// index or when neither is set.
int32_t ResolveMerchantId(Store& store, int32_t account_index);

// What GetMerchantSetting reads from CCMerchants.
inline constexpr int kMerchantUserName = 1;
inline constexpr int kMerchantPassword = 2;
inline constexpr int kMerchantVendorId = 3;

// The CCMerchants value of `kind` for the merchant; "" when the table does
// not exist, has no such merchant, or the value is empty.
std::string GetMerchantSetting(Store& store, int kind, int32_t merchant_id);

// What a gateway client reads once, at its creation.
struct GatewayCredentials {
  std::string user_name, password, vendor_id;
  int32_t merchant_id = -1;
  Money minimum_charge;
  std::string next_card_number;  // NextCCNo as text ("" for the form-post client's case 4)
  bool trace = false;            // CCDebug
  bool use_dev_address = false;  // CCUseDevAddress
  std::string base_address;      // "" when the endpoint is not configured
  std::string missing_setting;   // then: the setting to make, e.g. "gateways.jetpay_url"
};

// A merchant id of -1 asks ResolveMerchantId for the account's.
//
// Form-post gateway (merchant ids 0 to 2): the preferences' credentials,
// minimum, counter and trace switch when the preferences name the same
// merchant, else the CCMerchants credentials (the preferences' when those
// lack a user name or password) and no minimum, counter or tracing. The
// development switch replaces the address by CCDevAddress and the
// credentials by the fixed development ones.
GatewayCredentials ReadFormPostCredentials(const ServiceContext& context, int32_t account_index,
                                           int32_t merchant_id);
// XML gateways (3 JetPay, 4 Authorize.Net): as above, but minimum, counter
// and trace switch always come from the preferences, and falling back to
// the preferences' credentials also takes their merchant id. The
// development switch picks the test endpoint and the development user
// (and for Authorize.Net the development transaction key).
GatewayCredentials ReadXmlCredentials(const ServiceContext& context, int32_t account_index,
                                      int32_t merchant_id);

}  // namespace portavel
