// Address literals of both families: what is taken, what is refused, and how they compare.
#include <gtest/gtest.h>

#include "platform/net_address.h"

namespace {

TEST(NetAddress, LiteralsOfBothFamiliesAndTheFormsRefused) {
  const struct {
    const char* text;
    uint8_t family;     // kNetNoFamily: refused
    const char* shown;  // NetAddressText of the result
  } cases[] = {
      {"[::1]", kNetIPv6, "::1"}, {"::1", kNetIPv6, "::1"}, {"2001:db8::1", kNetIPv6, "2001:db8::1"},
      {"[2001:DB8:0:0:0:0:0:1]", kNetIPv6, "2001:db8::1"}, {"10.0.0.1", kNetIPv4, "10.0.0.1"},
      {"[::ffff:10.0.0.1]", kNetIPv4, "10.0.0.1"},  // mapped: held as the IPv4 address
      {"host.name", 0, ""}, {"[10.0.0.1]", 0, ""}, {"[::1", 0, ""}, {"::1]", 0, ""}, {"[]", 0, ""},
      {"", 0, ""}, {"2001:db8::1::2", 0, ""}, {"fe80::1%eth0", 0, ""}, {"10.0.0.256", 0, ""},
      {"[2001:db8::1]:6667", 0, ""}, {"1111111111111111111111111111111111111111111111111111111111111111", 0, ""},
  };
  for (const auto& c : cases) {
    NetAddress a = {};
    ASSERT_EQ(c.family != 0, NetParseAddress(c.text, &a)) << c.text;
    char shown[64];
    NetAddressText(a, shown, sizeof shown);
    EXPECT_EQ(c.family, a.family) << c.text;
    EXPECT_STREQ(c.shown, shown) << c.text;
  }
  char bare[4];
  NetBareHost("[2001:db8::1]", bare, sizeof bare);
  EXPECT_STREQ("200", bare) << "brackets dropped, cut to the buffer, still terminated";
}

TEST(NetAddress, ComparisonsSeeFamilyAndEveryByte) {
  NetAddress v4 = {}, mapped = {}, v6 = {}, v6b = {}, none = {};
  ASSERT_TRUE(NetParseAddress("10.0.0.1", &v4) && NetParseAddress("::ffff:10.0.0.1", &mapped) &&
              NetParseAddress("2001:db8::1", &v6) && NetParseAddress("2001:db8::2", &v6b));
  EXPECT_EQ(v4, mapped) << "a v4-mapped source is the same peer as its IPv4 address";
  EXPECT_NE(v6, v6b);
  EXPECT_NE(v4, v6);
  EXPECT_EQ(none, NetAddressFromV4(0)) << "0 stays no address";
  EXPECT_EQ(v4, NetAddressFromV4(NetAddressV4(v4)));
}

}  // namespace
