// The parts every page shares: the header block and the logged-out notice.
#include "text/html_escape.h"
#include "web/web_module.h"

namespace portavel {

void TwmMain_::AddPageHeader(PageLines& lines, std::string_view title) const {
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

void TwmMain_::NotLoggedInFragment(PageLines& lines, const WebRequest& request) const {
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

}  // namespace portavel
