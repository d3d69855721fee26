// An account row as an object whose fields are addressed by position.
// The card gateway clients open the paying account with it and read its
// key and stored-card fields; the shared desktop code also creates
// accounts and switches them to balance-forward through it.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "data/remote_preferences.h"
#include "data/table_access.h"

namespace portavel {

class Platform;
class Store;

class TAccount : public TSubject {
 public:
  ~TAccount() override;

  virtual std::string GetTableName() const = 0;
  virtual void SetFlagField(int n, bool value) = 0;
  // Draws a new AccountIndex, inserts and posts the row with it and the
  // ID, then sets Active to "Yes" and the open-item flag (position 16)
  // from the preferences. The row is left in edit state.
  virtual void CreateNew(std::string_view account_id);

  // Re-reads the table and stands on the account; throws
  // ENotFoundException "Could not find account with an AccountIndex of N".
  void LocateAccount(int32_t account_index);

  // Fields by their position (from 1) in the account's field-name table;
  // a position outside it throws std::out_of_range. Setters leave the
  // row in edit state; the owner posts it (table().PostRecord()).
  bool GetFlagAt(int n);  // the integer is exactly 1
  int64_t GetIntegerAt(int n);
  std::string GetStringAt(int n);
  void SetFlagAt(int n, bool value);  // 1 or 0
  void SetBooleanAt(int n, bool value);
  void SetIntegerAt(int n, int64_t value);
  void SetYesNoAt(int n, bool value);  // "Yes" or "No"

  TOrvikTable& table() { return *table_; }
  TRemotePreferences& preferences() { return *preferences_; }

 protected:
  TAccount(Store& store, Platform& platform);
  // Opens the table named by GetTableName() and reads the preferences;
  // the descendant's constructor calls it once it is complete.
  void Initialize();
  // The field name at position n, or empty when there is none.
  virtual std::string_view FieldNameAt(int n) const = 0;

  Store& store_;
  Platform& platform_;

 private:
  std::string_view RequireFieldName(int n) const;

  std::unique_ptr<TOrvikTable> table_;
  std::unique_ptr<TRemotePreferences> preferences_;
};

class TCustomerAccount final : public TAccount {
 public:
  // Field positions are indexes into this table plus one.
  // clang-format off
  static constexpr std::array<std::string_view, 53> kFieldNames = {
      "AccountID", "Active", "BillToLName", "BillToFName", "AccountOpened",
      "LastStatement", "Current", "OverThirty", "OverSixty", "OverNinety",
      "StreetNo", "StreetName", "City", "State", "Zip",
      "OiorBf", "AddressLine2", "ChargeFC", "AccountDescription", "UseBudget",
      "BudgetAmount", "AccountType", "Tag", "Tag2", "Tag3",
      "Tag4", "Tag5", "Tag6", "Phone", "OtherPhone",
      "Balance", "Termskey", "Sendstmnt", "Fax", "BudgetStartDate",
      "AccountIndex", "PreBuyStart", "PreBuyEnd", "PBGalsLeft", "PreBuyGallons",
      "Archived", "ArchiveDate", "BudgetReviewDate", "Email", "CreditLimit",
      "BlanketPO", "CCCustKey", "CCInfoKey", "CCLast4", "CCExpDate",
      "UseCC", "CkInfoKey", "MerchantId",
  };
  // clang-format on

  // Opens Accounts (on its first row) and the preferences. The store's
  // errors propagate.
  TCustomerAccount(Store& store, Platform& platform);
  // The same, standing on the account with this AccountIndex; throws
  // ENotFoundException "Could not find account with an AccountIndex of N".
  TCustomerAccount(Store& store, Platform& platform, int32_t account_index);
  ~TCustomerAccount() override;

  std::string GetTableName() const override { return "Accounts.DB"; }
  // Switching an open-item account (OiorBf 1) to balance-forward first
  // writes every invoice's open-item balances and drops its applied-to
  // links.
  void SetFlagField(int n, bool value) override;
  // The account's CreateNew, then Archived false and Termskey from the
  // preferences' DefTerms.
  void CreateNew(std::string_view account_id) override;

 protected:
  std::string_view FieldNameAt(int n) const override;
};

}  // namespace portavel
