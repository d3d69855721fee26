#include "web/page_lines.h"

#include "text/html_escape.h"

namespace portavel {

std::string JoinPageLines(const PageLines& lines) {
  std::string text;
  for (const std::string& line : lines) {
    text += line;
    text += "\r\n";
  }
  return text;
}

void AddGoToAccountForm(PageLines& lines, const std::string& script,
                        const std::string& account_id) {
  lines.insert(lines.end(),
               {
                   " <form action=\"" + script + "/MainAccountPg\" method=\"post\">",
                   "  <input type=\"hidden\" id=\"AccountID\" name=\"AccountID\" value=\"" +
                       HtmlEscape(account_id) + "\" /> ",
                   "  <input type=\"submit\" value=\"Go To Account.\" />",
                   " </form>",
               });
}

}  // namespace portavel
