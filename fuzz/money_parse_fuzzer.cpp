// Amounts as typed on the payment pages and read from the store.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "money/money.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const std::optional<portavel::Money> amount = portavel::Money::Parse(text);
  if (!amount) return 0;
  // What the program writes, it reads back unchanged.
  if (portavel::Money::Parse(amount->ToString()) != amount) __builtin_trap();
  (void)amount->ToFixed(2);
  (void)amount->Format("#,###,##0.00");
  return 0;
}
