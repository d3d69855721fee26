// The fallback page, logout and the availability probe.
#pragma once

#include "web/module_request.h"

namespace portavel {

void wmMain_waiDefaultAction(ModuleRequest& action);
void wmMain_LogoutAction(ModuleRequest& action);
void wmMain_OnlineAction(ModuleRequest& action);

}  // namespace portavel
