// The login form and the login check.
#pragma once

#include "web/module_request.h"

namespace portavel {

void wmMain_waiLoginAction(ModuleRequest& action);
void wmMain_waiMainAction(ModuleRequest& action);

}  // namespace portavel
