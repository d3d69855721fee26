#include "web/page_frame.h"

#include "text/html_escape.h"
#include "web/session_signature.h"

namespace portavel {

void AddPageHeader(PageLines& lines, std::string_view title) {
  lines.insert(
      lines.end(),
      {
          "<!DOCTYPE html PUBLIC \"-//W3C//DTD XHTML 1.0 Transitional//EN\"",
          "\"http://www.w3.org/TR/xhtml1/DTD/xhtml1-transitional.dtd\">",
          "<html xmlns=\"http://www.w3.org/1999/xhtml\">",
          "<head>",
          "<meta http-equiv=\"Content-Type\" content=\"text/html;charset=windows-1252\" />",
          "<style type=\"text/css\"> body { text-align:left; color: black; background-color: "
          "white; } .centeredImage { text-align:center; }",
          "</style>",
          "<title>" + std::string(title) + "</title>",
          "</head>",
          "<body>",
          " <p class=\"centeredImage\">",
          "<div style=\"max-width: 400px; max-height: 300px; display:block; margin:0 auto\" "
          "align=\"center\">",
          "  <img src=\"/Logo.png\" alt=\"Logo.png\" style=\"max-width:100%;max-height:100%;\" />",
          "</div>",
          " </p>",
      });
}

void NotLoggedInFragment(PageLines& lines, const WebRequest& request) {
  lines.insert(lines.end(), {
                                "Not Logged In <BR>",
                                " <form action=\"" + HtmlEscape(request.script_name) +
                                    "/Login\" method=\"post\">",
                                "  <input type=\"submit\" value=\"Go To Login\"/>",
                                " </form>",
                                "</html>",
                                "</body>",
                            });
}

std::string NotLoggedInPage(const WebRequest& request, std::string_view title) {
  PageLines lines;
  AddPageHeader(lines, title);
  NotLoggedInFragment(lines, request);
  return JoinPageLines(lines);
}

bool AnsweredLoggedOut(const WebRequest& request, WebResponse& response,
                       const std::string& account_id, std::string_view title) {
  if (account_id != kLoggedOut) return false;
  response.content = NotLoggedInPage(request, title);
  return true;
}

std::string HiddenAccountIdInput(std::string_view indent, const std::string& account_id) {
  return std::string(indent) +
         "<input type=\"hidden\" id=\"accountid\" name=\"accountid\" value=\"" +
         HtmlEscape(account_id) + "\"/>";
}

void AddPageEnd(PageLines& lines) {
  lines.insert(lines.end(), {"</body>", "</html>"});
}

}  // namespace portavel
