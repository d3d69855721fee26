// Password recovery and change, answered by the built program as a CGI
// process.
#include <gtest/gtest.h>
#include <pwd.h>
#include <unistd.h>

#include <fstream>

#include "data/data_set.h"
#include "mail/stored_password.h"
#include "support/file_bytes.h"
#include "support/forked_processes.h"
#include "support/portal_fixture.h"
#include "support/smtp_test_server.h"

namespace portavel::testing {
namespace {

const std::string kTitle = "Harbor &amp; Sons";

std::string Framed(const std::string& lines) {
  return ExpectedResponse(ExpectedPageHeader(kTitle) + lines + "</body>\r\n</html>\r\n");
}

std::string StoredPassword(PortalFixture& portal, int account_index) {
  DataSet accounts(portal.temp().store(), "UserData", "Accounts");
  accounts.Open();
  EXPECT_TRUE(accounts.Locate({{"AccountIndex", Value::Integer(account_index)}}));
  return accounts.FieldByName("WALPW").AsBytes();
}

TEST(PasswordE2eTest, ForgotPasswordAsksForTheAccount) {
  PortalFixture portal;
  EXPECT_EQ(portal.Post("/PWForget", "").output,
            Framed(" <form action=\"/cgi-bin/Portavel.exe/EmailPW\" method=\"post\">\r\n"
                   "  Account ID: <input type=\"text\" name=\"AccountID\" />\r\n"
                   "  <BR>\r\n"
                   "  <input type=\"submit\" value=\"Email Password\" />\r\n"
                   " </form>\r\n"));
}

TEST(PasswordE2eTest, EmailPasswordRefusalsEndWithTheLoginForm) {
  PortalFixture portal;
  Store& store = portal.temp().store();
  store.Execute(
      "UserData",
      "UPDATE \"Accounts\" SET \"Email\" = 'nopass@example.com' WHERE \"AccountIndex\" = 2");
  store.Execute(
      "UserData",
      "UPDATE \"Accounts\" SET \"Email\" = 'smith@example.com' WHERE \"AccountIndex\" = 1");
  const std::string login_form =
      " <form action=\"/cgi-bin/Portavel.exe/Main\" method=\"post\">\r\n"
      "  <fieldset>\r\n"
      "   <legend>Login Info:</legend>\r\n"
      "   Account ID: <input type=\"text\" name=\"AccountID\" maxlength=\"30\" /><br />\r\n"
      "   Password&nbsp;&nbsp;&nbsp;: <input type=\"password\" name=\"Password\" "
      "maxlength=\"20\" /><br />\r\n"
      "   <input type=\"submit\" value=\"Log in\" />\r\n"
      "  </fieldset>\r\n"
      " </form>\r\n"
      " <form action=\"/cgi-bin/Portavel.exe/PWForget\" method=\"post\">\r\n"
      "  <input type=\"submit\" value=\"Forgot Password?\" />\r\n"
      " </form>\r\n";
  const std::string no_address =
      "  <b>Request Failed.  Your account does not have a valid email address.<BR>\r\n"
      "     Call the office at 555-0100 to setup your email and online password.<BR>\r\n"
      "  </b>\r\n";
  const std::string failed =
      "  <b>Request Failed.<BR>\r\n"
      "     Call the office at 555-0100 to setup your email and online password.<BR>\r\n"
      "  </b>\r\n";
  EXPECT_EQ(portal.Post("/EmailPW", "AccountID=JONES").output, Framed(no_address + login_form));
  EXPECT_EQ(portal.Post("/EmailPW", "AccountID=x'+OR+'1'%3D'1").output,
            Framed(no_address + login_form));
  // A valid address but no password: nothing to send.
  EXPECT_EQ(portal.Post("/EmailPW", "AccountID=nopass").output, Framed(failed + login_form));
  // No mail server is configured: the customer is told it failed, never that it was sent.
  EXPECT_EQ(portal.Post("/EmailPW", "AccountID=smith01").output, Framed(failed + login_form));
}

TEST(PasswordE2eTest, EmailPasswordMailsTheLoginThroughTheConfiguredServer) {
  PortalFixture portal;
  SmtpTestServer server({});
  ASSERT_TRUE(server.ready()) << server.error();
  Store& store = portal.temp().store();
  const Guid identity = *Guid::Parse("{00112233-4455-6677-8899-AABBCCDDEEFF}");
  const Guid::Bytes& id_bytes = identity.bytes();
  portal.temp().Insert("scid",
                       {{"Data", Value::Bytes(std::string(id_bytes.begin(), id_bytes.end()))}});
  store.Execute("UserData", "UPDATE \"Company\" SET \"WebsiteAddress\" = 'www.harbor.example'");
  store.Execute(
      "UserData",
      "UPDATE \"Accounts\" SET \"Email\" = 'smith@example.com', \"BillToFname\" = 'John', "
      "\"BillToLname\" = 'Smith' WHERE \"AccountIndex\" = 1");
  // The program picks the row of the user it runs as.
  const passwd* user = getpwuid(geteuid());
  ASSERT_NE(user, nullptr);
  portal.temp().Insert("e_stmt_smtp_cnxn_cfg",
                       {{"Surrogate_Key", Value::Text(user->pw_name)},
                        {"Host_Name_Or_Address", Value::Text("127.0.0.1")},
                        {"User_Name", Value::Text(kSmtpTestUser)},
                        {"Pass_Word", Value::Bytes(EncodeStoredPassword(
                                          kSmtpTestPassword, PasswordMailKey(identity)))},
                        {"From_Address", Value::Text("office@harbor.example")},
                        {"Port_Number", Value::Integer(server.port())}},
                       "LocalData");

  std::string page = portal.Post("/EmailPW", "AccountID=smith01").output;
  EXPECT_NE(page.find(ExpectedPageHeader(kTitle) + "  <b>Password sent.<BR>\r\n"
                                                   " <form action=\"/cgi-bin/Portavel.exe/Main\""),
            std::string::npos)
      << page;
  std::vector<ReceivedMail> received = server.Messages();
  ASSERT_EQ(received.size(), 1u);
  EXPECT_EQ(received[0].login, std::optional<std::string>(kSmtpTestUser));
  EXPECT_EQ(received[0].rcpt_tos, std::vector<std::string>{"smith@example.com"});
  EXPECT_NE(received[0].data.find("Subject: Access Code\r\n"), std::string::npos);
  EXPECT_NE(received[0].data.find("www.harbor.example\r\nLogin: SMITH01\r\nPassword: Secret 1"),
            std::string::npos)
      << received[0].data;
}

TEST(PasswordE2eTest, ChangeFormAndLoggedOutVisitors) {
  PortalFixture portal;
  EXPECT_EQ(
      portal.Post("/ChangePW", "", portal.LoginCookies("smith01")).output,
      Framed(" <fieldset>\r\n"
             "  <legend>Password Change:</legend>\r\n"
             "  <form action=\"/cgi-bin/Portavel.exe/PWChange\" method=\"post\">\r\n"
             "   <input type=\"hidden\" id=\"accountid\" name=\"accountid\" value=\"smith01\"/>\r\n"
             "   Old Password&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;: <input type=\"password\" "
             "name=\"OldPassword\"/>\r\n"
             "   <br>\r\n"
             "   New Password&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;: <input type=\"password\" "
             "name=\"NewPassword\"/>\r\n"
             "   <br>\r\n"
             "   Confirm Password: <input type=\"password\" name=\"NewPassword2\"/>\r\n"
             "   <br>\r\n"
             "   <input type=\"submit\" value=\"Change Password\" />\r\n"
             "  </form>\r\n"
             " </fieldset>\r\n"));
  const std::string not_logged_in = ExpectedNotLoggedInResponse(kTitle);
  EXPECT_EQ(portal.Post("/ChangePW", "", "AccountID=-1").output, not_logged_in);
  EXPECT_EQ(portal.Post("/PWChange", "OldPassword=x", "AccountID=-1").output, not_logged_in);
}

TEST(PasswordE2eTest, ChangeChecksComeInTheirOrderAndStoreNothing) {
  PortalFixture portal;
  const std::string cookies = portal.LoginCookies("smith01");
  struct Case {
    const char* form;
    std::string cookies;
    const char* message;
  } cases[] = {
      {"OldPassword=&NewPassword=abcdef&NewPassword2=abcdef", cookies,
       " <h1>You haven't supplied a password!</h1>"},
      {"OldPassword=wrong&NewPassword=abcdef&NewPassword2=abcdeg", cookies,
       " <h1>The new passwords did not match!</h1>"},
      {"OldPassword=Secret+1&NewPassword=abcdef&NewPassword2=ABCDEF", cookies,
       " <h1>The new passwords did not match!</h1>"},
      {"OldPassword=Secret+1&NewPassword=&NewPassword2=", cookies,
       " <h1>The new password must be at least 6 characters long.</h1>"},
      {"OldPassword=Secret+1&NewPassword=abcde&NewPassword2=abcde", cookies,
       " <h1>The new password must be at least 6 characters long.</h1>"},
      {"OldPassword=Secret+1&NewPassword=123456789012345678901&NewPassword2=123456789012345678901",
       cookies, " <h1>The new password must be at most 20 characters long.</h1>"},
      {"OldPassword=wrong&NewPassword=abcdef&NewPassword2=abcdef", cookies,
       " <h1>Password is incorrect for the specified customer account ID!</h1>"},
      {"OldPassword=x&NewPassword=abcdef&NewPassword2=abcdef", portal.LoginCookies("JONES"),
       "  <h1>'JONES' doesn't exist as a customer account ID in the customer accounts table!</h1>"},
      {"OldPassword=x&NewPassword=abcdef&NewPassword2=abcdef", portal.LoginCookies("nopass"),
       " <h1>No password could be retrieved for the specified customer account ID!</h1>"},
      {"OldPassword=x&NewPassword=abcdef&NewPassword2=abcdef",
       portal.LoginCookies("1234567890123456789012345678901"),
       " <h1>'1234567890123456789012345678901' is too long to be a valid customer account "
       "ID!</h1>"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(portal.Post("/PWChange", c.form, c.cookies).output,
              Framed(std::string(c.message) + "\r\n"))
        << c.form;
  }
  EXPECT_EQ(StoredPassword(portal, 1), std::string("Secret 1") + std::string(13, '\0'));
}

TEST(PasswordE2eTest, ASuccessfulChangeReplacesTheWholeField) {
  PortalFixture portal;
  const std::string output =
      portal
          .Post("/PWChange", "OldPassword=Secret+1&NewPassword=tank42&NewPassword2=tank42",
                portal.LoginCookies("smith01"))
          .output;
  // The session goes on under the new password.
  const std::string renewed = portal.LoginCookies("smith01");
  EXPECT_EQ(output,
            ExpectedResponse(
                ExpectedPageHeader(kTitle) +
                    " Password has been successfully changed.<br>\r\n"
                    " <form action=\"/cgi-bin/Portavel.exe/MainAccountPG\" method=\"post\">\r\n"
                    "  <input type=\"hidden\" id=\"accountid\" name=\"accountid\" "
                    "value=\"smith01\"/>\r\n"
                    "  <input type=\"submit\" value=\"Go Back to Account information\"/>\r\n"
                    " </form>\r\n"
                    "</body>\r\n</html>\r\n",
                "Set-Cookie: " + renewed.substr(renewed.find("AccountSig=")) +
                    "; HttpOnly; SameSite=Lax\r\n"));
  EXPECT_EQ(StoredPassword(portal, 1), std::string("tank42") + std::string(15, '\0'));
  EXPECT_NE(portal.Post("/Main", "AccountID=SMITH01&Password=Secret+1").output.find("incorrect"),
            std::string::npos);
  EXPECT_NE(portal.Post("/Main", "AccountID=SMITH01&Password=tank42").output.find("Set-Cookie"),
            std::string::npos);
}

// Eight changes sent at once from the same old password: one is made, and
// the password kept is the one the successful change reported. The others
// are told the old password is no longer right, or, when the change came
// first, find their session ended by it (at the guard, or when the page
// reads the account from the cookie).
TEST(PasswordE2eTest, OfSimultaneousChangesFromOnePasswordExactlyOneSucceeds) {
  constexpr int kProcesses = 8;
  PortalFixture portal;
  const std::string cookies = portal.LoginCookies("smith01");
  StartingLine start(kProcesses);
  RunInForkedProcesses(kProcesses, [&](int p) {
    const std::string password = "newpw" + std::to_string(p);
    const std::string form =
        "OldPassword=Secret+1&NewPassword=" + password + "&NewPassword2=" + password;
    start.Wait();
    std::ofstream(portal.temp().folder() / ("answer-" + std::to_string(p)))
        << portal.Post("/PWChange", form, cookies).output;
    return true;
  });
  const std::string incorrect =
      Framed(" <h1>Password is incorrect for the specified customer account ID!</h1>\r\n");
  const std::string session_ended = Framed(" Unauthorized Access\r\n");
  const std::string no_account =
      Framed(" <h1>You haven't specified a customer Account ID!</h1>\r\n");
  std::vector<int> changed;
  for (int p = 0; p < kProcesses; ++p) {
    const std::string answer =
        ReadFileBytes(portal.temp().folder() / ("answer-" + std::to_string(p)));
    if (answer.find("Password has been successfully changed.") != std::string::npos) {
      changed.push_back(p);
    } else {
      EXPECT_TRUE(answer == incorrect || answer == session_ended || answer == no_account)
          << "process " << p << answer;
    }
  }
  ASSERT_EQ(changed.size(), 1u);
  const std::string kept = "newpw" + std::to_string(changed[0]);
  EXPECT_EQ(StoredPassword(portal, 1), kept + std::string(21 - kept.size(), '\0'));
}

}  // namespace
}  // namespace portavel::testing
