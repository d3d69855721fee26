// Fuel requests: a tank's status becomes "Internet Request", which the dealer's dispatch picks up.
#pragma once

#include "web/module_request.h"

namespace portavel {

void wmMain_ProcessRFFAction(ModuleRequest& action);
void wmMain_ProcTankKeyAction(ModuleRequest& action);

}  // namespace portavel
