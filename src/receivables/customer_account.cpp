#include "receivables/customer_account.h"

#include <stdexcept>

#include "data/data_set.h"
#include "data/key_broker.h"
#include "data/not_found_error.h"
#include "data/value.h"
#include "receivables/oi_balance_calculator.h"

namespace portavel {
namespace {

// Positions of the field-name table the account objects use themselves.
constexpr int kActive = 2;
constexpr int kOiorBf = 16;
constexpr int kTermskey = 32;
constexpr int kAccountIndex = 36;
constexpr int kArchived = 41;

constexpr std::string_view NameAt(int n) {
  return TCustomerAccount::kFieldNames[static_cast<size_t>(n - 1)];
}
static_assert(NameAt(kActive) == "Active" && NameAt(kOiorBf) == "OiorBf" &&
              NameAt(kTermskey) == "Termskey" && NameAt(kAccountIndex) == "AccountIndex" &&
              NameAt(kArchived) == "Archived");

}  // namespace

TAccount::TAccount(Store& store, Platform& platform) : store_(store), platform_(platform) {}

TAccount::~TAccount() = default;

void TAccount::Initialize() {
  table_ = std::make_unique<TOrvikTable>(store_, GetTableName(), "AccountIndex");
  preferences_ = std::make_unique<TRemotePreferences>(store_);
}

void TAccount::LocateAccount(int32_t account_index) {
  table_->RefreshTable();
  if (!table_->data().Locate({{"AccountIndex", Value::Integer(account_index)}})) {
    throw ENotFoundException("Could not find account with an AccountIndex of " +
                             std::to_string(account_index));
  }
  Notify();
}

void TAccount::CreateNew(std::string_view account_id) {
  // The key is drawn before anything is inserted: a failed draw leaves no row.
  TIndexBroker broker(store_, platform_, GetTableName(), "AccountIndex");
  int32_t key = broker.GetNextNum();
  DataSet& data = table_->data();
  data.Insert();
  // The table's first two fields are AccountIndex and AccountID.
  data.fields().at(0)->SetInteger(key);
  data.fields().at(1)->SetString(std::string(account_id));
  table_->PostRecord();
  SetYesNoAt(kActive, true);
  SetFlagField(kOiorBf, preferences_->DefaulttoOI());
}

std::string_view TAccount::RequireFieldName(int n) const {
  std::string_view name = FieldNameAt(n);
  if (name.empty()) {
    throw std::out_of_range("No account field at position " + std::to_string(n));
  }
  return name;
}

bool TAccount::GetFlagAt(int n) {
  return table_->GetIntegerFlag(RequireFieldName(n));
}

int64_t TAccount::GetIntegerAt(int n) {
  return table_->GetInteger(RequireFieldName(n));
}

std::string TAccount::GetStringAt(int n) {
  return table_->GetString(RequireFieldName(n));
}

void TAccount::SetFlagAt(int n, bool value) {
  table_->SetIntegerFlag(RequireFieldName(n), value);
}

void TAccount::SetBooleanAt(int n, bool value) {
  table_->SetBoolean(RequireFieldName(n), value);
}

void TAccount::SetIntegerAt(int n, int64_t value) {
  table_->SetInteger(RequireFieldName(n), value);
}

void TAccount::SetYesNoAt(int n, bool value) {
  table_->SetYesNo(RequireFieldName(n), value);
}

// ---------------------------------------------------------------------------

TCustomerAccount::TCustomerAccount(Store& store, Platform& platform) : TAccount(store, platform) {
  Initialize();
}

TCustomerAccount::TCustomerAccount(Store& store, Platform& platform, int32_t account_index)
    : TCustomerAccount(store, platform) {
  LocateAccount(account_index);
}

TCustomerAccount::~TCustomerAccount() = default;

std::string_view TCustomerAccount::FieldNameAt(int n) const {
  if (n < 1 || n > static_cast<int>(kFieldNames.size())) return {};
  return kFieldNames[static_cast<size_t>(n - 1)];
}

void TCustomerAccount::SetFlagField(int n, bool value) {
  if (GetFlagAt(kOiorBf) && !value) {
    ConvertToBalanceForward(store_, static_cast<int32_t>(GetIntegerAt(kAccountIndex)));
  }
  SetFlagAt(n, value);
}

void TCustomerAccount::CreateNew(std::string_view account_id) {
  TAccount::CreateNew(account_id);
  SetBooleanAt(kArchived, false);
  SetIntegerAt(kTermskey, preferences().DefTerms());
}

}  // namespace portavel
