// The guard every request passes before an action runs: a guarded page
// needs a signed login, an address the portal does not serve gets
// " Unspecified Error". It answers on its own (`handled`) or lets the
// action run.
#pragma once

#include "web/module_request.h"

namespace portavel {

void WebModuleBeforeDispatch(ModuleRequest& action, bool& handled);

}  // namespace portavel
