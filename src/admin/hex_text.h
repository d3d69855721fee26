// Binary data written as hexadecimal digits, two per byte.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace portavel {

// Lower-case digits: "00ff10".
std::string LowerHex(std::string_view bytes);
// Digits in either case, two per byte; nullopt for anything else.
std::optional<std::string> BytesOfHex(std::string_view hex);

}  // namespace portavel
