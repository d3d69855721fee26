// The parts many pages share: the header block every page starts with, the
// notice a logged-out visitor gets, the login forms, the hidden account-id
// input of the account forms and the closing of a page.
#pragma once

#include <string>
#include <string_view>

#include "data/store.h"
#include "web/page_lines.h"
#include "web/web_request.h"
#include "web/web_response.h"

namespace portavel {

// The common start of every HTML page (15 lines).
void AddPageHeader(PageLines& lines, std::string_view title);

// What a guarded page shows to a logged-out visitor, after the header.
void NotLoggedInFragment(PageLines& lines, const WebRequest& request);

// A page of the header and the logged-out notice.
std::string NotLoggedInPage(const WebRequest& request, std::string_view title);

// Answers a logged-out visitor ("-1" session) of a guarded page with that
// page; true when it did.
bool AnsweredLoggedOut(const WebRequest& request, WebResponse& response,
                       const std::string& account_id, std::string_view title);

// The form that leads to the login page.
void AddGoToLoginForm(PageLines& lines, const std::string& script);

// The two pages with a login form lay its fields out differently: the
// login page gives each break a line of its own and puts one between the
// forms; the password reminder's answer ends the fields' lines with a break.
enum class LoginFormLayout { kLoginPage, kReminderAnswer };

// The login form and the form for a forgotten password, the inputs as long
// as the store's fields allow.
void AddLoginForm(PageLines& lines, const std::string& script, Store& store,
                  LoginFormLayout layout);

// `indent` and the hidden "accountid" input of the account forms, the
// account id escaped.
std::string HiddenAccountIdInput(std::string_view indent, const std::string& account_id);

// "</body>" and "</html>", the end of most pages.
void AddPageEnd(PageLines& lines);

}  // namespace portavel
