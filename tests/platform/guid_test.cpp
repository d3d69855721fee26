#include "platform/guid.h"

#include <gtest/gtest.h>

namespace portavel {
namespace {

TEST(Guid, RegistryFormMapsToStandardBinaryLayout) {
  const Guid::Bytes expected = {0x33, 0x22, 0x11, 0x00, 0x55, 0x44, 0x77, 0x66,
                                0x88, 0x99, 0xAA, 0xBB, 0xCC, 0xDD, 0xEE, 0xFF};
  std::optional<Guid> upper = Guid::Parse("{00112233-4455-6677-8899-AABBCCDDEEFF}");
  ASSERT_TRUE(upper.has_value());
  EXPECT_EQ(upper->bytes(), expected);
  EXPECT_EQ(upper->ToString(), "{00112233-4455-6677-8899-AABBCCDDEEFF}");
  EXPECT_EQ(Guid::Parse("{00112233-4455-6677-8899-aabbccddeeff}"), upper);
  EXPECT_EQ(Guid::FromBytes(expected), upper);
  EXPECT_FALSE(upper->IsNull());
}

TEST(Guid, ToStringParsesBackForEveryByteValue) {
  for (int start = 0; start < 256; start += 16) {
    Guid::Bytes bytes;
    for (int i = 0; i < 16; ++i) bytes[i] = static_cast<uint8_t>(start + i * 17);
    const Guid guid = Guid::FromBytes(bytes);
    EXPECT_EQ(Guid::Parse(guid.ToString()), guid) << guid.ToString();
  }
}

TEST(Guid, NullGuid) {
  EXPECT_TRUE(Guid().IsNull());
  EXPECT_EQ(Guid().ToString(), "{00000000-0000-0000-0000-000000000000}");
  EXPECT_EQ(Guid::Parse("{00000000-0000-0000-0000-000000000000}"), Guid());
}

TEST(Guid, RejectsOtherForms) {
  const char* const cases[] = {
      "",
      "00112233-4455-6677-8899-AABBCCDDEEFF",
      "{00112233445566778899AABBCCDDEEFF}",
      "{00112233-4455-6677-8899-AABBCCDDEEF}",
      "{00112233-4455-6677-8899-AABBCCDDEEFF0}",
      "{0011223-34455-6677-8899-AABBCCDDEEFF}",
      "{00112233-4455-6677-8899-AABBCCDDEEFG}",
      "{00112233-4455-6677-8899-AABBCCDDEE F}",
      "(00112233-4455-6677-8899-AABBCCDDEEFF)",
      "{00112233-4455-6677-8899-AABBCCDDEEFF",
      " {00112233-4455-6677-8899-AABBCCDDEEFF}",
      "{00112233+4455-6677-8899-AABBCCDDEEFF}",
  };
  for (const char* text : cases) EXPECT_FALSE(Guid::Parse(text).has_value()) << text;
}

}  // namespace
}  // namespace portavel
