// The guard every request passes before an action runs.
#include <array>

#include "text/cp1252.h"
#include "web/web_module.h"

namespace portavel {
namespace {

// Paths that need the account cookie.
constexpr std::array<std::string_view, 10> kGuardedPaths = {
    "/ProcessRFF", "/ProcTankKey", "/ProcessCC",      "/PayBill", "/MainAccountPg",
    "/ChangePW",   "/ChoosePay",   "/ProcessNewCard", "/PayOnce", "/PWChange",
};
// Paths that pass without it.
constexpr std::array<std::string_view, 10> kOpenPaths = {
    "/login",  "/Main",     "/Logout",     "/PWForget", "/EmailPW",
    "/Online", "/Validate", "/DoValidate", "/rd",       "/bi",
};

template <size_t N>
bool IsOneOf(const std::array<std::string_view, N>& paths, std::string_view path) {
  for (std::string_view candidate : paths) {
    if (EqualsNoCase1252(candidate, path)) return true;
  }
  return false;
}

}  // namespace

void TwmMain_::WebModuleBeforeDispatch(const WebRequest& request, WebResponse& response,
                                       bool& handled) {
  PageLines lines;
  AddPageHeader(lines, CompanyText("CompanyName"));
  if (IsOneOf(kGuardedPaths, request.path_info)) {
    if (SessionAccountId(request).empty()) {
      handled = true;
      lines.push_back(" Unauthorized Access");
    }
  } else if (IsOneOf(kOpenPaths, request.path_info)) {
    // passes
  } else if (context_.platform.DebuggerAttached()) {
    // passes, so that a developer can try paths of their own
  } else {
    handled = true;
    lines.push_back(" Unspecified Error");
  }
  AddPageEnd(lines);
  response.content = JoinPageLines(lines);
}

}  // namespace portavel
