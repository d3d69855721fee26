#include "account/password_change.h"

#include <gtest/gtest.h>

#include <string>

#include "data/data_set.h"
#include "support/temp_store.h"

namespace portavel {
namespace {

using testing::TempStore;

TEST(PasswordChangeTest, TheFormsRulesRefuseInTheirOrder) {
  using enum PasswordChangeRefusal;
  const struct {
    PasswordChangeForm form;
    std::optional<PasswordChangeRefusal> refusal;
  } kCases[] = {
      {{"", "", "abc", "xyz"}, kNoAccountId},
      {{"SMITH01", "", "abc", "xyz"}, kNoOldPassword},
      // The match is checked before the length and before the old password.
      {{"SMITH01", "wrong", "abcdef", "abcdeg"}, kNewPasswordsDiffer},
      {{"SMITH01", "Secret 1", "abcdef", "ABCDEF"}, kNewPasswordsDiffer},
      {{"SMITH01", "Secret 1", "abcdef ", "abcdef"}, kNewPasswordsDiffer},
      {{"SMITH01", "Secret 1", "", ""}, kNewPasswordTooShort},
      {{"SMITH01", "Secret 1", "abcde", "abcde"}, kNewPasswordTooShort},
      {{"SMITH01", "Secret 1", "abcdef", "abcdef"}, std::nullopt},
      {{"SMITH01", "Secret 1", "\xE9t\xE9 2024", "\xE9t\xE9 2024"}, std::nullopt},
      {{"SMITH01", "Secret 1", std::string(20, 'x'), std::string(20, 'x')}, std::nullopt},
      {{"SMITH01", "Secret 1", std::string(21, 'x'), std::string(21, 'x')}, kNewPasswordTooLong},
      // Stored, the zero byte would end the password after "abc".
      {{"SMITH01", "Secret 1", std::string("abc\0defg", 8), std::string("abc\0defg", 8)},
       kNewPasswordHasZeroByte},
  };
  for (const auto& c : kCases) {
    EXPECT_EQ(CheckPasswordChangeForm(c.form), c.refusal)
        << c.form.account_id << "/" << c.form.new_password << "/" << c.form.confirmation;
  }
}

class PasswordChangeStoreTest : public ::testing::Test {
 protected:
  PasswordChangeStoreTest() {
    temp_.Insert("Accounts", {{"AccountIndex", Value::Integer(1)},
                              {"AccountID", Value::Text("SMITH01")},
                              {"WALPW", Value::Bytes("Secret 1")}});
    temp_.Insert("Accounts",
                 {{"AccountIndex", Value::Integer(2)}, {"AccountID", Value::Text("NOPASS")}});
  }
  std::string StoredBytes(int64_t account_index) {
    DataSet accounts(temp_.store(), "UserData", "Accounts");
    accounts.Open();
    EXPECT_TRUE(accounts.Locate({{"AccountIndex", Value::Integer(account_index)}}));
    return accounts.FieldByName("WALPW").AsBytes();
  }

  TempStore temp_;
};

TEST_F(PasswordChangeStoreTest, OnlyTheRightOldPasswordLetsTheNewOneIn) {
  const std::string unchanged = std::string("Secret 1") + std::string(13, '\0');
  const struct {
    const char* account_id;
    const char* old_password;
    PasswordVerdict verdict;
  } kRefused[] = {
      {"1234567890123456789012345678901", "Secret 1", PasswordVerdict::kAccountIdTooLong},
      {"JONES", "Secret 1", PasswordVerdict::kNoSuchAccount},
      {"NOPASS", "Secret 1", PasswordVerdict::kNoPasswordStored},
      {"SMITH01", "secret 1", PasswordVerdict::kIncorrect},
      {"SMITH01", "Secret", PasswordVerdict::kIncorrect},
  };
  for (const auto& c : kRefused) {
    EXPECT_EQ(ChangeWebPassword(temp_.store(), {c.account_id, c.old_password, "tank42", "tank42"}),
              c.verdict)
        << c.account_id << "/" << c.old_password;
  }
  EXPECT_EQ(StoredBytes(1), unchanged);
  EXPECT_TRUE(StoredBytes(2).empty());

  // The ID is matched without regard to case; the shorter new password
  // leaves nothing of the old one behind.
  EXPECT_EQ(ChangeWebPassword(temp_.store(), {"smith01", "Secret 1", "tank42", "tank42"}),
            PasswordVerdict::kRight);
  EXPECT_EQ(StoredBytes(1), std::string("tank42") + std::string(15, '\0'));
  EXPECT_EQ(ChangeWebPassword(temp_.store(), {"SMITH01", "Secret 1", "abcdef", "abcdef"}),
            PasswordVerdict::kIncorrect);
}

}  // namespace
}  // namespace portavel
