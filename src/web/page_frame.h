// The parts many pages share: the header block every page starts with, the
// notice a logged-out visitor gets, the hidden account-id input of the
// account forms and the closing of a page.
#pragma once

#include <string>
#include <string_view>

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

// `indent` and the hidden "accountid" input of the account forms, the
// account id escaped.
std::string HiddenAccountIdInput(std::string_view indent, const std::string& account_id);

// "</body>" and "</html>", the end of most pages.
void AddPageEnd(PageLines& lines);

}  // namespace portavel
