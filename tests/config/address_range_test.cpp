#include "config/address_range.h"

#include <gtest/gtest.h>

namespace portavel {
namespace {

TEST(AddressRangeTest, MatchesAddressesAndRangesOfBothFamilies) {
  const struct {
    const char* range;
    const char* address;
    bool contained;
  } cases[] = {
      {"127.0.0.1", "127.0.0.1", true},
      {"127.0.0.1", "127.0.0.2", false},
      {"10.0.0.0/8", "10.255.3.4", true},
      {"10.0.0.0/8", "11.0.0.1", false},
      {"192.168.10.0/23", "192.168.11.200", true},
      {"192.168.10.0/23", "192.168.12.1", false},
      {"192.168.10.77/24", "192.168.10.1", true},  // host bits are ignored
      {"0.0.0.0/0", "203.0.113.9", true},
      {"::1", "::1", true},
      {"::1", "0:0:0:0:0:0:0:1", true},
      {"::1", "::2", false},
      {"2001:db8::/32", "2001:db8:ffff::17", true},
      {"2001:db8::/32", "2001:db9::1", false},
      {"fe80::/10", "febf::1", true},
      {"fe80::/10", "fec0::1", false},
      // An IPv4 client as a dual-stack server reports it is that IPv4 client.
      {"127.0.0.1", "::ffff:127.0.0.1", true},
      {"10.0.0.0/8", "::ffff:10.1.2.3", true},
      {"::ffff:10.0.0.0/104", "10.20.30.40", true},
      // IPv4 and IPv6 loopback are different clients.
      {"127.0.0.1", "::1", false},
      {"::1", "127.0.0.1", false},
      // What is no address never matches.
      {"0.0.0.0/0", "", false},
      {"0.0.0.0/0", "localhost", false},
      {"0.0.0.0/0", " 127.0.0.1", false},
      {"0.0.0.0/0", "127.0.0.1/8", false},
  };
  for (const auto& c : cases) {
    std::optional<AddressRange> range = AddressRange::Parse(c.range);
    ASSERT_TRUE(range.has_value()) << c.range;
    EXPECT_EQ(range->Contains(c.address), c.contained) << c.range << " " << c.address;
  }
}

TEST(AddressRangeTest, RefusesWhatIsNoAddressOrRange) {
  for (const char* text :
       {"", "localhost", "127.0.0", "127.0.0.256", "127.0.0.1 ", " ::1", "10.0.0.0/33", "10.0.0.0/",
        "10.0.0.0/-1", "10.0.0.0/8/8", "10.0.0.0/0x8", "::1/129", "2001:db8::/3 2",
        "2001:db8:::/32", "fe80::1%eth0", "*"}) {
    EXPECT_FALSE(AddressRange::Parse(text).has_value()) << text;
  }
  EXPECT_EQ(AddressRange::Parse("10.0.0.0/8")->text(), "10.0.0.0/8");
}

}  // namespace
}  // namespace portavel
