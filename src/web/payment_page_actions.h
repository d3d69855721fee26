// The payment pages: choosing how to pay, the amount and card forms, and the two charging actions.
#pragma once

#include "web/module_request.h"

namespace portavel {

void wmMain_ChoosePayAction(ModuleRequest& action);
void wmMain_PayBillAction(ModuleRequest& action);
void wmMain_PayOnceAction(ModuleRequest& action);
void wmMain_ProcessNewCardAction(ModuleRequest& action);
void wmMain_ProcessCCAction(ModuleRequest& action);

}  // namespace portavel
