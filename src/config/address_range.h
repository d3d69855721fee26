// An IP address or a CIDR range of addresses ("127.0.0.1", "::1",
// "192.168.10.0/24", "2001:db8::/32"), as the configuration names the
// clients allowed to use an endpoint.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace portavel {

class AddressRange {
 public:
  // A plain address is a range of one. A prefix length is 0 to 32 for
  // IPv4 and 0 to 128 for IPv6; bits after the prefix are ignored. Anything
  // else, blanks included, gives nullopt.
  static std::optional<AddressRange> Parse(std::string_view text);

  // Whether an address in the form a web server passes it (REMOTE_ADDR)
  // lies in the range. An IPv4 address written as IPv6 ("::ffff:10.0.0.7",
  // as a dual-stack server reports IPv4 clients) counts as the IPv4
  // address. Text that is no address never matches.
  bool Contains(std::string_view address) const;

  const std::string& text() const { return text_; }
  bool operator==(const AddressRange& other) const { return text_ == other.text_; }

 private:
  using Bytes = std::array<uint8_t, 16>;
  // IPv4 is kept as its IPv6 form ::ffff:a.b.c.d, its prefix 96 bits longer.
  static std::optional<Bytes> ParseAddress(std::string_view text, bool* is_ipv4);

  std::string text_;
  Bytes bytes_{};
  int prefix_bits_ = 128;
};

}  // namespace portavel
