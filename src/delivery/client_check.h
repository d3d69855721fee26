// Who may call the truck-side endpoints: they write accounts, invoices
// and batches into the dealer's books, so only the truck system's
// addresses, as the configuration lists them, are let in.
#pragma once

#include <string_view>

#include "config/config.h"

namespace portavel {

// Whether the client address (REMOTE_ADDR as the web server passes it) is
// one of the configured ones. An empty or missing address never is.
bool IsAllowedDeliveryClient(const DeliveryConfig& config, std::string_view remote_addr);

}  // namespace portavel
