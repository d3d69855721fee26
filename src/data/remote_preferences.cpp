#include "data/remote_preferences.h"

#include <map>
#include <memory>

namespace portavel {
namespace {

// The preferences table of each store, shared by the preferences objects
// alive at the same time (an account object and its gateway client each
// hold one). A table never outlives its store: it goes with the last
// object that holds it, and every object holds its store by reference.
// Keyed by the store's address; an expired entry is replaced, so a new
// store at a freed address never sees a table of the old one.
std::shared_ptr<TOrvikTable> SharedPreferencesTable(Store& store) {
  static std::map<const Store*, std::weak_ptr<TOrvikTable>> tables;
  std::erase_if(tables, [](const auto& entry) { return entry.second.expired(); });
  if (auto found = tables.find(&store); found != tables.end()) return found->second.lock();
  auto table = std::make_shared<TOrvikTable>(store, "RemotePrefs.DB", "RemotePrefsKey");
  tables[&store] = table;
  return table;
}

int32_t AsInt32(int64_t value) {
  return static_cast<int32_t>(value);
}

}  // namespace

TRemotePreferences::TRemotePreferences(Store& store) : store_(store) {
  Initialize();
}

TRemotePreferences::~TRemotePreferences() = default;

void TRemotePreferences::OpenStore() {
  if (!backing_) backing_ = SharedPreferencesTable(store_);
}

void TRemotePreferences::ReadFields(int32_t /*key*/) {
  TOrvikTable& t = *backing_;
  remote_prefs_key_ = AsInt32(t.GetInteger("RemotePrefsKey"));
  not_ntd_ = t.GetBooleanNot("NTD");
  // A text field that has to hold a whole number: anything else fails.
  default_bank_account_ = AsInt32(t.GetInteger("DefaultBankAccount"));
  def_dd_area_ = AsInt32(t.GetInteger("DefDDArea"));
  def_to_wc_ = AsInt32(t.GetInteger("DefToWC"));
  default_null_route_ = AsInt32(t.GetInteger("DefaultNullRoute"));
  default_return_percent_ = AsInt32(t.GetInteger("DefaultReturnPercent"));
  default_r_method_ = AsInt32(t.GetInteger("DefaultRMethod"));
  def_terms_ = AsInt32(t.GetInteger("DefTerms"));
  use_due_d_age_ = t.GetBoolean("UseDueDAge");
  fc_min_bal_ = t.GetCurrency("FCMinBal");
  uppercase_ = t.GetBoolean("Uppercase");
  default_to_oi_ = t.GetIntegerFlag("DefaulttoOI");
  number_of_decimals_ = AsInt32(t.GetInteger("NumberOfDecimals"));
  over1_ = AsInt32(t.GetInteger("Over1"));
  over2_ = AsInt32(t.GetInteger("Over2"));
  over3_ = AsInt32(t.GetInteger("Over3"));
  tnk_lk_up_fltr_dfalt_ = AsInt32(t.GetInteger("TnkLkUpfltrdfalt"));
  use_rouge_acctgrd_ = t.GetBoolean("userougeacctgrd");
  show_del_hist_on_ticket_ = t.GetIntegerFlag("ShowDelHistonTicket");
  not_exclude_inactive_ = t.GetBooleanNot("ExcludeInactive");
}

void TRemotePreferences::InitNew() {
  Load(0);
}

void TRemotePreferences::WriteFields() {
  throw EAbstractError();
}

}  // namespace portavel
