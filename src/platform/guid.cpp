#include "platform/guid.h"

#include <algorithm>

namespace portavel {
namespace {

// Byte order of the 32 hex digits of the registry form in the binary
// layout: the first three groups are stored little-endian.
constexpr int kByteOfDigitPair[16] = {3, 2, 1, 0, 5, 4, 7, 6, 8, 9, 10, 11, 12, 13, 14, 15};

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool IsDashPosition(size_t i) {
  return i == 9 || i == 14 || i == 19 || i == 24;
}

}  // namespace

std::optional<Guid> Guid::Parse(std::string_view registry_form) {
  if (registry_form.size() != 38 || registry_form.front() != '{' || registry_form.back() != '}') {
    return std::nullopt;
  }
  std::string digits;
  for (size_t i = 1; i < 37; ++i) {
    const char c = registry_form[i];
    if (IsDashPosition(i)) {
      if (c != '-') return std::nullopt;
    } else if (HexValue(c) < 0) {
      return std::nullopt;
    } else {
      digits += c;
    }
  }
  Bytes bytes{};
  for (int pair = 0; pair < 16; ++pair) {
    bytes[kByteOfDigitPair[pair]] =
        static_cast<uint8_t>(HexValue(digits[2 * pair]) * 16 + HexValue(digits[2 * pair + 1]));
  }
  return FromBytes(bytes);
}

bool Guid::IsNull() const {
  return std::all_of(bytes_.begin(), bytes_.end(), [](uint8_t b) { return b == 0; });
}

std::string Guid::ToString() const {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string text = "{";
  for (int pair = 0; pair < 16; ++pair) {
    if (IsDashPosition(text.size())) text += '-';
    const uint8_t b = bytes_[kByteOfDigitPair[pair]];
    text += kHex[b >> 4];
    text += kHex[b & 0x0F];
  }
  return text + "}";
}

}  // namespace portavel
