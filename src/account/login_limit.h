// The program's own limit on password guessing: after too many failed
// logins for one account ID or from one client address within a window,
// further attempts are refused without checking the password. The counts
// live in the store, so every process of the program shares them.
#pragma once

#include <string>
#include <vector>

#include "config/config.h"
#include "data/store.h"
#include "dates/date_time.h"
#include "platform/platform.h"

namespace portavel {

// The LocalData table the counts are kept in, and its two kinds of rows.
inline constexpr const char* kLoginFailuresTable = "LoginFailures";
inline constexpr const char* kAccountSubject = "Account";
inline constexpr const char* kAddressSubject = "Address";

// A count an admitted attempt raised: whose, the count with the attempt
// in it, the limit it is held against, and when its window ends.
struct CountedLoginSubject {
  std::string kind;     // kAccountSubject or kAddressSubject
  std::string subject;  // an account ID upper-cased, or an address as given
  int failures = 0;
  int limit = 0;
  DateTime window_ends;
};

// The limit's answer to one login attempt.
struct LoginAdmission {
  bool refused = false;
  // When refused: whole seconds until the lock that refused it ends (the
  // later one when both are locked).
  int retry_after_seconds = 0;
  // When admitted: the counts the attempt raised in advance.
  std::vector<CountedLoginSubject> counted;
};

class LoginLimit {
 public:
  LoginLimit(Store& store, Platform& platform, const LoginConfig& config);

  // Asks before the password is checked. A subject whose count has reached
  // its limit within its window refuses the attempt; otherwise the attempt
  // is counted as a failure of each subject right away, in one write
  // transaction, so that concurrent attempts cannot slip past the limit
  // together and no failure is lost. An empty `account_id` or `address` is
  // not counted (an ID that cannot be an account, a server that passes no
  // address). Account IDs are compared without regard to case. Creates the
  // table in a store made before it existed.
  LoginAdmission Admit(const std::string& account_id, const std::string& address);
  // The password was right: the account's count is cleared, and the
  // attempt is taken back from the address's count.
  void Succeeded(const LoginAdmission& admission);
  // The login failed: the attempt stays counted. When it is the one that
  // reached a limit, the operator log says who is locked out until when.
  void Failed(const LoginAdmission& admission);

 private:
  Store& store_;
  Platform& platform_;
  LoginConfig config_;
};

}  // namespace portavel
