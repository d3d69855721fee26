// A page is built as a list of lines and sent as each line followed by
// CR LF.
#pragma once

#include <string>
#include <vector>

namespace portavel {

using PageLines = std::vector<std::string>;

std::string JoinPageLines(const PageLines& lines);

// The button back to the account page, for the account id given (the
// script name already escaped).
void AddGoToAccountForm(PageLines& lines, const std::string& script, const std::string& account_id);

}  // namespace portavel
