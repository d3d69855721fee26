#include "payments/gateway_event_log.h"

#include "data/event_log.h"

namespace portavel {

void WriteGatewayLogEntry(Store& store, Platform& platform, std::string_view text) {
  WriteLogEntry(store, platform, text.substr(0, kGatewayLogEntryLength));
}

}  // namespace portavel
