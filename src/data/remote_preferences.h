// The installation's preferences row (RemotePrefs) as an object, read at
// creation. The shared desktop code creates accounts with these defaults;
// the gateway clients get it with every account object.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string_view>

#include "data/table_access.h"
#include "money/money.h"

namespace portavel {

class Store;

class TRemotePreferences final : public TOrvikDBObject {
 public:
  // The preference fields in their fixed order. The last three are named
  // but not loaded: the gateway clients read them themselves.
  // clang-format off
  static constexpr std::array<std::string_view, 24> kFieldNames = {
      "RemotePrefsKey", "DefaulttoOI", "NTD", "UseDueDAge",
      "FCMinBal", "Over1", "Over2", "Over3",
      "DefaultBankAccount", "DefaultReturnPercent", "DefTerms", "Uppercase",
      "userougeacctgrd", "ExcludeInactive", "TnkLkUpfltrdfalt", "DefaultRMethod",
      "DefDDArea", "DefToWC", "DefaultNullRoute", "NumberOfDecimals",
      "ShowDelHistonTicket", "CCUserName", "CCPassword", "CCVendorID",
  };
  // clang-format on

  // Reads the first row of RemotePrefs. Fails with the store's error when
  // the table cannot be opened, and with its conversion error when
  // DefaultBankAccount does not hold a whole number (empty included).
  explicit TRemotePreferences(Store& store);
  ~TRemotePreferences() override;

  int32_t RemotePrefsKey() const { return remote_prefs_key_; }
  bool NotNTD() const { return not_ntd_; }
  int32_t DefaultBankAccount() const { return default_bank_account_; }
  int32_t DefDDArea() const { return def_dd_area_; }
  int32_t DefToWC() const { return def_to_wc_; }
  int32_t DefaultNullRoute() const { return default_null_route_; }
  int32_t DefaultReturnPercent() const { return default_return_percent_; }
  int32_t DefaultRMethod() const { return default_r_method_; }
  int32_t DefTerms() const { return def_terms_; }
  bool UseDueDAge() const { return use_due_d_age_; }
  Money FCMinBal() const { return fc_min_bal_; }
  bool Uppercase() const { return uppercase_; }
  bool DefaulttoOI() const { return default_to_oi_; }  // the field holds exactly 1
  int32_t NumberOfDecimals() const { return number_of_decimals_; }
  int32_t TnkLkUpfltrdfalt() const { return tnk_lk_up_fltr_dfalt_; }
  bool UseRougeAcctgrd() const { return use_rouge_acctgrd_; }
  bool ShowDelHistonTicket() const { return show_del_hist_on_ticket_; }  // exactly 1
  bool NotExcludeInactive() const { return not_exclude_inactive_; }
  int32_t Over1() const { return over1_; }
  int32_t Over2() const { return over2_; }
  int32_t Over3() const { return over3_; }

  // Opens the store's shared preferences table unless it is open already.
  void OpenStore() override;
  // Reads the values from the shared table's current row; the key is
  // not used.
  void ReadFields(int32_t key) override;
  // Load(0): a new preferences object is read at once.
  void InitNew() override;
  // The preferences are never written through this object: throws
  // EAbstractError.
  void WriteFields() override;
  int32_t GetKey() override { return remote_prefs_key_; }
  bool IsValid() override { return true; }

  // The store's shared preferences table this object reads.
  TOrvikTable& backing_table() { return *backing_; }

 private:
  Store& store_;
  // One table per store, shared by the preferences objects of that store
  // that are alive at the same time.
  std::shared_ptr<TOrvikTable> backing_;

  int32_t remote_prefs_key_ = 0;
  bool not_ntd_ = false;
  int32_t default_bank_account_ = 0;
  int32_t def_dd_area_ = 0;
  int32_t def_to_wc_ = 0;
  int32_t default_null_route_ = 0;
  int32_t default_return_percent_ = 0;
  int32_t default_r_method_ = 0;
  int32_t def_terms_ = 0;
  bool use_due_d_age_ = false;
  Money fc_min_bal_;
  bool uppercase_ = false;
  bool default_to_oi_ = false;
  int32_t number_of_decimals_ = 0;
  int32_t tnk_lk_up_fltr_dfalt_ = 0;
  bool use_rouge_acctgrd_ = false;
  bool show_del_hist_on_ticket_ = false;
  bool not_exclude_inactive_ = false;
  int32_t over1_ = 0;
  int32_t over2_ = 0;
  int32_t over3_ = 0;
};

}  // namespace portavel
