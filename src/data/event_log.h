// The dealer's event log (Log table), shared with the desktop program.
#pragma once

#include <string_view>

namespace portavel {

class Platform;
class Store;

// Appends one entry keyed from the "Log" row of the key table, stamped
// with the local time. Without a "Log" row, or while that row holds 0 or
// less, nothing is logged.
void WriteLogEntry(Store& store, Platform& platform, std::string_view text);

}  // namespace portavel
