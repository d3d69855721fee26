// The guard every request passes before an action runs.
#include "web/request_guard.h"

#include <array>

#include "text/cp1252.h"
#include "web/page_frame.h"
#include "web/page_lines.h"

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

void WebModuleBeforeDispatch(ModuleRequest& action, bool& handled) {
  const WebRequest& request = action.request;
  PageLines lines;
  AddPageHeader(lines, CompanyText(action.tables, "CompanyName"));
  if (IsOneOf(kGuardedPaths, request.path_info)) {
    if (action.session.AccountId(request).empty()) {
      handled = true;
      lines.push_back(" Unauthorized Access");
    }
  } else if (IsOneOf(kOpenPaths, request.path_info)) {
    // passes
  } else if (action.context.platform.DebuggerAttached()) {
    // passes, so that a developer can try paths of their own
  } else {
    handled = true;
    lines.push_back(" Unspecified Error");
  }
  AddPageEnd(lines);
  action.response.content = JoinPageLines(lines);
}

}  // namespace portavel
