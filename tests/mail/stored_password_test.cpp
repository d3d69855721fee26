#include "mail/stored_password.h"

#include <gtest/gtest.h>

#include <string>

namespace portavel {
namespace {

std::string Hex(std::string_view hex) {
  std::string bytes;
  for (size_t i = 0; i < hex.size(); i += 2) {
    bytes += static_cast<char>(std::stoi(std::string(hex.substr(i, 2)), nullptr, 16));
  }
  return bytes;
}

TEST(StoredPasswordTest, KeyAddsTheGuidFieldsModulo2To32) {
  const struct {
    const char* guid;
    uint32_t key;
  } kCases[] = {
      {"{00000000-0000-0000-0000-000000000000}", 0},
      // 0x0F1E2D3C + 0x4B5A + 0x6978 + 0x87 + 0x96 + 0xA5 + ... + 0xF0
      {"{0F1E2D3C-4B5A-6978-8796-A5B4C3D2E1F0}", 253683690},
      {"{11111111-2222-3333-4444-555555555555}", 286353644},
      // The sum passes 2^32 and wraps around.
      {"{FFFFFFFF-FFFF-FFFF-FFFF-FFFFFFFFFFFF}", 133109},
  };
  for (const auto& c : kCases) {
    EXPECT_EQ(PasswordMailKey(*Guid::Parse(c.guid)), c.key) << c.guid;
  }
}

TEST(StoredPasswordTest, DecodesStoredBytes) {
  const struct {
    uint32_t key;
    const char* stored_hex;
    const char* text_hex;
  } kCases[] = {
      {0, "00", "00"},
      // 0x41 ^ 5 = 0x44 (bits 2 and 6); the shuffle moves them to bits 7 and 0.
      {5, "41", "81"},
      {253655190, "00112233", "f278f248"},
      {4294967295u, "deadbeef0102", "b79dfdc788ca"},
      {1234567, "0102030405060708", "ff81ff81ff81ff81"},
      {1009589775, "0a0d4a0f2d4906c3b6c380afc48738", "706f72746176656c53656372657431"},
      {4294967295u, "643bd48146", "4a6f73e921"},
  };
  for (const auto& c : kCases) {
    EXPECT_EQ(DecodeStoredPassword(Hex(c.stored_hex), c.key), Hex(c.text_hex)) << c.stored_hex;
  }
  EXPECT_EQ(DecodeStoredPassword("", 77), "");
}

TEST(StoredPasswordTest, EncodingIsTheInverse) {
  const std::string kTexts[] = {"x", "portavelSecret1", "Jos\xE9!", std::string(40, '\xFF'),
                                std::string("\0a\0", 3)};
  const uint32_t kKeys[] = {0, 1, 7, 253683690, 4294967295u};
  for (const std::string& text : kTexts) {
    for (uint32_t key : kKeys) {
      std::string stored = EncodeStoredPassword(text, key);
      EXPECT_EQ(stored.size(), text.size());
      EXPECT_EQ(DecodeStoredPassword(stored, key), text) << text << " key " << key;
    }
  }
  EXPECT_EQ(EncodeStoredPassword("portavelSecret1", 1009589775),
            Hex("0a0d4a0f2d4906c3b6c380afc48738"));
}

}  // namespace
}  // namespace portavel
