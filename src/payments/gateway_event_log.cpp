#include "payments/gateway_event_log.h"

#include <exception>
#include <string>

#include "data/event_log.h"
#include "platform/platform.h"

namespace portavel {

void WriteGatewayLogEntry(Store& store, Platform& platform, std::string_view text) {
  try {
    WriteLogEntry(store, platform, text.substr(0, kGatewayLogEntryLength));
  } catch (const std::exception& error) {
    platform.OperatorMessage("The event log did not take this entry (" + std::string(error.what()) +
                             "): " + std::string(text));
  }
}

}  // namespace portavel
