// Password recovery by e-mail and password change.
#pragma once

#include "web/module_request.h"

namespace portavel {

void wmMain_PWForgetAction(ModuleRequest& action);
void wmMain_EmailPWAction(ModuleRequest& action);
void wmMain_ChangePWAction(ModuleRequest& action);
void wmMain_PWChangeAction(ModuleRequest& action);

}  // namespace portavel
