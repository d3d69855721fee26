#include "account/account_password.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "support/forked_processes.h"
#include "support/temp_store.h"

namespace portavel {
namespace {

using testing::TempStore;

// Eight processes check the same old password, and only once all of them
// have found it right does any of them write its new one: exactly one
// change is kept, and it is the one that was told so.
TEST(AccountPasswordTest, OfChangesCheckedAgainstTheSamePasswordOneIsWritten) {
  constexpr int kProcesses = 8;
  TempStore temp;
  temp.Insert("Accounts", {{"AccountIndex", Value::Integer(1)},
                           {"AccountID", Value::Text("SMITH01")},
                           {"WALPW", Value::Bytes("Secret 1")}});
  testing::StartingLine all_checked(kProcesses);
  std::vector<int> failed = testing::RunInForkedProcesses(kProcesses, [&](int p) {
    Store session(temp.paths());  // a connection of this process's own
    DataSet accounts(session, "UserData", "Accounts.DB");
    OpenAccountsById(accounts, "smith01");
    if (CheckAccountPassword(session, accounts, "smith01", "Secret 1") != PasswordVerdict::kRight) {
      return false;
    }
    all_checked.Wait();
    std::ofstream(temp.folder() / ("changed-" + std::to_string(p)))
        << ReplaceWebPassword(accounts, "newpw" + std::to_string(p));
    return true;
  });
  EXPECT_TRUE(failed.empty());

  std::vector<int> changed;
  for (int p = 0; p < kProcesses; ++p) {
    bool written = false;
    std::ifstream(temp.folder() / ("changed-" + std::to_string(p))) >> written;
    if (written) changed.push_back(p);
  }
  ASSERT_EQ(changed.size(), 1u);
  DataSet accounts(temp.store(), "UserData", "Accounts.DB");
  OpenAccountsById(accounts, "SMITH01");
  EXPECT_EQ(ReadPasswordField(accounts.FieldByName("WALPW")), "newpw" + std::to_string(changed[0]));
}

}  // namespace
}  // namespace portavel
