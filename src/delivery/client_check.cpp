#include "delivery/client_check.h"

namespace portavel {

bool IsAllowedDeliveryClient(const DeliveryConfig& config, std::string_view remote_addr) {
  for (const AddressRange& range : config.allowed_clients) {
    if (range.Contains(remote_addr)) return true;
  }
  return false;
}

}  // namespace portavel
