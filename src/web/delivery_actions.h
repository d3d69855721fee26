// The truck-side endpoints: "/rd" records a delivery, "/bi" announces a
// batch. Each answers one status line for the truck system.
#pragma once

#include "web/module_request.h"

namespace portavel {

void wmMain_RecordDeliveryAction(ModuleRequest& action);
void wmMain_BatchInfoAction(ModuleRequest& action);

}  // namespace portavel
