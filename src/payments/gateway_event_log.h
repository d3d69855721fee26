// Gateway traffic errors in the dealer's event log, which keeps 255
// characters of an entry.
#pragma once

#include <string_view>

namespace portavel {

class Platform;
class Store;

inline constexpr size_t kGatewayLogEntryLength = 255;

// WriteLogEntry of the text's first kGatewayLogEntryLength characters.
// Never throws: a charge already under way must not end in an error page
// because its note could not be kept, so an entry the store refuses goes
// to the operator whole, with the reason.
void WriteGatewayLogEntry(Store& store, Platform& platform, std::string_view text);

}  // namespace portavel
