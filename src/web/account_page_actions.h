// The account page: the account, its tanks and its invoices.
#pragma once

#include "web/module_request.h"

namespace portavel {

void wmMain_MainAccountPgAction(ModuleRequest& action);

}  // namespace portavel
