#include "payments/gateways/transaction_id.h"

#include <optional>
#include <stdexcept>

#include "platform/platform.h"

namespace portavel {

std::string NewTransactionId(Platform& platform) {
  std::optional<Guid> guid = platform.NewGuid();
  if (!guid) throw std::runtime_error("No GUID could be made for a JetPay transaction id");
  // {XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}
  const std::string text = guid->ToString();
  return text.substr(1, 8) + text.substr(10, 4) + text.substr(16, 3) + text.substr(21, 3);
}

}  // namespace portavel
