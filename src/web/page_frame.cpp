#include "web/page_frame.h"

#include "account/account_password.h"
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
  lines.push_back("Not Logged In <BR>");
  AddGoToLoginForm(lines, HtmlEscape(request.script_name));
  // The logged-out notice has always closed its tags in this order.
  lines.insert(lines.end(), {"</html>", "</body>"});
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

void AddGoToLoginForm(PageLines& lines, const std::string& script) {
  lines.insert(lines.end(), {
                                " <form action=\"" + script + "/Login\" method=\"post\">",
                                "  <input type=\"submit\" value=\"Go To Login\"/>",
                                " </form>",
                            });
}

void AddLoginForm(PageLines& lines, const std::string& script, Store& store,
                  LoginFormLayout layout) {
  const bool breaks_on_own_lines = layout == LoginFormLayout::kLoginPage;
  const std::string account_input =
      "   Account ID: <input type=\"text\" name=\"AccountID\" maxlength=\"" +
      std::to_string(DeclaredAccountFieldSize(store, "AccountID")) + "\" />";
  // The stored password field keeps a byte for its terminator.
  const std::string password_input =
      "   Password&nbsp;&nbsp;&nbsp;: <input type=\"password\" name=\"Password\" maxlength=\"" +
      std::to_string(DeclaredAccountFieldSize(store, "WALPW") - 1) + "\" />";
  lines.insert(lines.end(), {" <form action=\"" + script + "/Main\" method=\"post\">",
                             "  <fieldset>", "   <legend>Login Info:</legend>"});
  if (breaks_on_own_lines) {
    lines.insert(lines.end(), {account_input, "   <br>", password_input, "   <br>"});
  } else {
    lines.insert(lines.end(), {account_input + "<br />", password_input + "<br />"});
  }
  lines.insert(lines.end(),
               {"   <input type=\"submit\" value=\"Log in\" />", "  </fieldset>", " </form>"});
  if (breaks_on_own_lines) lines.push_back(" <br>");
  lines.insert(lines.end(), {" <form action=\"" + script + "/PWForget\" method=\"post\">",
                             "  <input type=\"submit\" value=\"Forgot Password?\" />", " </form>"});
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
