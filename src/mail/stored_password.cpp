#include "mail/stored_password.h"

namespace portavel {
namespace {

// The byte mask of position i in a text of `length` bytes: the low byte
// of length + key - 1 - i, which wraps around the same in any width.
uint8_t Mask(size_t length, uint32_t key, size_t i) {
  return static_cast<uint8_t>(
      (static_cast<uint32_t>(length) + key - 1u - static_cast<uint32_t>(i)) & 0xFFu);
}

bool BitOf(std::string_view bytes, size_t j) {
  return (static_cast<uint8_t>(bytes[j / 8]) >> (j % 8)) & 1u;
}

void SetBit(std::string& bytes, size_t j, bool bit) {
  if (bit) bytes[j / 8] = static_cast<char>(static_cast<uint8_t>(bytes[j / 8]) | (1u << (j % 8)));
}

// Step c of the shuffle moves the bit at source(c) to target(c). Because
// n/2 and n+1 are coprime, both run through every position once.
size_t SourceBit(size_t n, size_t c) {
  return static_cast<size_t>((static_cast<uint64_t>(n / 2) * (c + 1)) % (n + 1)) - 1;
}

size_t TargetBit(size_t n, uint32_t key, size_t c) {
  return static_cast<size_t>((static_cast<uint64_t>(key) + c) % n);
}

}  // namespace

uint32_t PasswordMailKey(const Guid& database_id) {
  const Guid::Bytes& b = database_id.bytes();
  // The first three groups are stored little-endian.
  uint32_t data1 = static_cast<uint32_t>(b[0]) | static_cast<uint32_t>(b[1]) << 8 |
                   static_cast<uint32_t>(b[2]) << 16 | static_cast<uint32_t>(b[3]) << 24;
  uint32_t data2 = static_cast<uint32_t>(b[4]) | static_cast<uint32_t>(b[5]) << 8;
  uint32_t data3 = static_cast<uint32_t>(b[6]) | static_cast<uint32_t>(b[7]) << 8;
  uint32_t key = data1 + data2 + data3;
  for (size_t i = 8; i < 16; ++i) key += b[i];
  return key;
}

std::string DecodeStoredPassword(std::string_view stored, uint32_t key) {
  const size_t length = stored.size();
  std::string unmasked(stored);
  for (size_t i = 0; i < length; ++i) {
    unmasked[i] = static_cast<char>(static_cast<uint8_t>(unmasked[i]) ^ Mask(length, key, i));
  }
  const size_t n = 8 * length;
  std::string text(length, '\0');
  for (size_t c = 0; c < n; ++c)
    SetBit(text, TargetBit(n, key, c), BitOf(unmasked, SourceBit(n, c)));
  return text;
}

std::string EncodeStoredPassword(std::string_view text, uint32_t key) {
  const size_t length = text.size();
  const size_t n = 8 * length;
  std::string stored(length, '\0');
  for (size_t c = 0; c < n; ++c) SetBit(stored, SourceBit(n, c), BitOf(text, TargetBit(n, key, c)));
  for (size_t i = 0; i < length; ++i) {
    stored[i] = static_cast<char>(static_cast<uint8_t>(stored[i]) ^ Mask(length, key, i));
  }
  return stored;
}

}  // namespace portavel
