// A GUID kept in the standard binary layout (first three groups
// little-endian), the form the dealer's identity table stores.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace portavel {

class Guid {
 public:
  using Bytes = std::array<uint8_t, 16>;

  constexpr Guid() = default;
  static Guid FromBytes(const Bytes& bytes) {
    Guid g;
    g.bytes_ = bytes;
    return g;
  }
  // Registry form "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" (hex digits in
  // any case); anything else gives nullopt.
  static std::optional<Guid> Parse(std::string_view registry_form);

  const Bytes& bytes() const { return bytes_; }
  bool IsNull() const;
  // Registry form with upper-case hex digits.
  std::string ToString() const;

  bool operator==(const Guid&) const = default;

 private:
  Bytes bytes_{};
};

}  // namespace portavel
