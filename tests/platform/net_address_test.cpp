// Address literals of both families: what is taken, what is refused, and how they compare.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "platform/net_address.h"

namespace {

TEST(NetAddress, LiteralsOfBothFamiliesAndTheFormsRefused) {
  struct Case {
    const char* text;
    uint8_t family;     // kNetNoFamily: refused
    const char* shown;  // NetAddressText of the result
  };
  const Case cases[] = {
      {"[::1]", kNetIPv6, "::1"},
      {"::1", kNetIPv6, "::1"},
      {"2001:db8::1", kNetIPv6, "2001:db8::1"},
      {"[2001:DB8:0:0:0:0:0:1]", kNetIPv6, "2001:db8::1"},
      {"10.0.0.1", kNetIPv4, "10.0.0.1"},
      {"::ffff:10.0.0.1", kNetIPv4, "10.0.0.1"},  // mapped: held as the IPv4 address
      {"[::ffff:10.0.0.1]", kNetIPv4, "10.0.0.1"},
      {"host.name", kNetNoFamily, ""},
      {"[10.0.0.1]", kNetNoFamily, ""},  // brackets belong to IPv6 only
      {"[::1", kNetNoFamily, ""},
      {"::1]", kNetNoFamily, ""},
      {"[]", kNetNoFamily, ""},
      {"", kNetNoFamily, ""},
      {"2001:db8::1::2", kNetNoFamily, ""},
      {"fe80::1%eth0", kNetNoFamily, ""},
      {"10.0.0.256", kNetNoFamily, ""},
      {"2001:db8::1 6667", kNetNoFamily, ""},
      {"[2001:db8::1]:6667", kNetNoFamily, ""},
  };
  for (const Case& c : cases) {
    NetAddress a = {};
    bool taken = NetParseAddress(c.text, &a);
    EXPECT_EQ(c.family != kNetNoFamily, taken) << c.text;
    if (!taken) continue;
    EXPECT_EQ(c.family, a.family) << c.text;
    char shown[64];
    NetAddressText(a, shown, sizeof shown);
    EXPECT_STREQ(c.shown, shown) << c.text;
  }
  NetAddress untouched = {};
  EXPECT_FALSE(NetParseAddress(nullptr, &untouched));
  EXPECT_FALSE(NetParseAddress(std::string(80, '1').c_str(), &untouched)) << "too long for any literal";
}

TEST(NetAddress, ComparisonsSeeFamilyAndEveryByte) {
  NetAddress v4 = {}, mapped = {}, v6 = {}, v6b = {}, none = {};
  ASSERT_TRUE(NetParseAddress("10.0.0.1", &v4));
  ASSERT_TRUE(NetParseAddress("::ffff:10.0.0.1", &mapped));
  ASSERT_TRUE(NetParseAddress("2001:db8::1", &v6));
  ASSERT_TRUE(NetParseAddress("2001:db8::2", &v6b));
  EXPECT_EQ(v4, mapped) << "a v4-mapped source is the same peer as its IPv4 address";
  EXPECT_NE(v6, v6b) << "the last byte differs";
  EXPECT_NE(v4, v6);
  EXPECT_NE(v4, none);
  EXPECT_EQ(none, NetAddressFromV4(0)) << "0 stays no address";
  EXPECT_FALSE(NetAddressIsSet(none));
  // The IPv4 value round-trips, and an IPv6 address has none.
  EXPECT_EQ(v4, NetAddressFromV4(NetAddressV4(v4)));
  EXPECT_EQ(0u, NetAddressV4(v6));
  // Bytes past an IPv4 address's four do not count (they are never compared).
  NetAddress dirty = v4;
  dirty.bytes[9] = 7;
  EXPECT_EQ(v4, dirty);
}

TEST(NetAddress, BareHostDropsOnlyTheBracketsOfALiteral) {
  const char* cases[][2] = {{"[2001:db8::1]", "2001:db8::1"}, {"2001:db8::1", "2001:db8::1"},
                            {"irc.example.net", "irc.example.net"}, {"[", "["}, {"", ""}};
  for (auto& c : cases) {
    char out[64];
    NetBareHost(c[0], out, sizeof out);
    EXPECT_STREQ(c[1], out) << c[0];
  }
  char small[4];
  NetBareHost("[2001:db8::1]", small, sizeof small);
  EXPECT_STREQ("200", small) << "cut to the buffer, still terminated";
}

}  // namespace
