#include "config/address_range.h"

#include <arpa/inet.h>

#include <charconv>

namespace portavel {
namespace {

constexpr int kIpv4InIpv6Bits = 96;

}  // namespace

std::optional<AddressRange::Bytes> AddressRange::ParseAddress(std::string_view text,
                                                              bool* is_ipv4) {
  // inet_pton wants a terminated string; anything longer is no address.
  if (text.empty() || text.size() > 45) return std::nullopt;
  const std::string terminated(text);
  Bytes bytes{};
  if (inet_pton(AF_INET, terminated.c_str(), bytes.data() + 12) == 1) {
    bytes[10] = bytes[11] = 0xff;
    *is_ipv4 = true;
    return bytes;
  }
  if (inet_pton(AF_INET6, terminated.c_str(), bytes.data()) == 1) {
    *is_ipv4 = false;
    return bytes;
  }
  return std::nullopt;
}

std::optional<AddressRange> AddressRange::Parse(std::string_view text) {
  const size_t slash = text.find('/');
  bool is_ipv4 = false;
  std::optional<Bytes> bytes = ParseAddress(text.substr(0, slash), &is_ipv4);
  if (!bytes) return std::nullopt;
  const int max_bits = is_ipv4 ? 32 : 128;
  int prefix = max_bits;
  if (slash != std::string_view::npos) {
    std::string_view digits = text.substr(slash + 1);
    auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), prefix);
    if (digits.empty() || digits.size() > 3 || error != std::errc() ||
        end != digits.data() + digits.size() || prefix < 0 || prefix > max_bits) {
      return std::nullopt;
    }
  }
  AddressRange range;
  range.text_ = std::string(text);
  range.bytes_ = *bytes;
  range.prefix_bits_ = is_ipv4 ? prefix + kIpv4InIpv6Bits : prefix;
  return range;
}

bool AddressRange::Contains(std::string_view address) const {
  bool is_ipv4 = false;
  std::optional<Bytes> bytes = ParseAddress(address, &is_ipv4);
  if (!bytes) return false;
  for (int bit = 0; bit < prefix_bits_; bit += 8) {
    const int bits = prefix_bits_ - bit < 8 ? prefix_bits_ - bit : 8;
    const auto mask = static_cast<uint8_t>(0xff00 >> bits);
    if (((*bytes)[bit / 8] & mask) != (bytes_[bit / 8] & mask)) return false;
  }
  return true;
}

}  // namespace portavel
