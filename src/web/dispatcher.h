// Routes one request to one action: the guard first, then the first
// action item whose method and path mask match, else the default item.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "web/web_request.h"
#include "web/web_response.h"

namespace portavel {

enum class MethodType { mtAny, mtGet, mtPost, mtPut, mtHead };

// A handler may set `handled` to false to pass the request on.
using ActionHandler = std::function<void(const WebRequest&, WebResponse&, bool& handled)>;

struct ActionItem {
  std::string name;
  std::string path_info;  // a file-name mask: "*", "?", "[abc]"; any case
  MethodType method = MethodType::mtAny;
  bool is_default = false;
  bool enabled = true;
  ActionHandler handler;
};

// File-name mask matching without regard to case.
bool MatchesMask(std::string_view mask, std::string_view text);

// Runs the guard and the actions. True when something handled the request
// (the response is then to be sent); false when nothing did.
bool DispatchRequest(const WebRequest& request, WebResponse& response,
                     const ActionHandler& before_dispatch, const std::vector<ActionItem>& items);

}  // namespace portavel
