// The nickname rule under each CASEMAPPING a server may name.
#include <gtest/gtest.h>

#include "core/irc_case.h"

namespace {

struct NamePair {
  const char* a;
  const char* b;
  bool rfc1459, strict, ascii;  // the same name under each rule
};

const NamePair kPairs[] = {
    {"Alice", "alice", true, true, true},
    {"[bob]", "{bob}", true, true, false},
    {"a\\b", "a|b", true, true, false},
    {"x~", "x^", true, false, false},
    {"alice", "alice_", false, false, false},
    {"", "", true, true, true},
    {"ALICE|Q", "alice\\q", true, true, false},
};

TEST(IrcCase, EachRuleFoldsItsOwnCapitals) {
  const IrcCaseMapping rules[] = {CaseRfc1459, CaseStrictRfc1459, CaseAscii};
  for (int r = 0; r < 3; ++r) {
    SetIrcCaseMapping(rules[r]);
    for (const NamePair& p : kPairs) {
      const bool expected = r == 0 ? p.rfc1459 : r == 1 ? p.strict : p.ascii;
      EXPECT_EQ(expected, SameIrcName(p.a, p.b)) << "rule " << r << ": \"" << p.a << "\" and \"" << p.b << "\"";
      EXPECT_EQ(expected, CompareIrcNames(p.b, p.a) == 0) << "rule " << r << " orders as it compares";
    }
  }
  SetIrcCaseMapping(CaseRfc1459);
  EXPECT_FALSE(SameIrcName(nullptr, "a"));
  EXPECT_TRUE(IrcNameStartsWith("[Keeper]", "{kee", 4));
  EXPECT_FALSE(IrcNameStartsWith("ke", "kee", 3)) << "a name shorter than the prefix";
  EXPECT_LT(CompareIrcNames("Alice", "bob"), 0) << "names sort without regard to case";
}

TEST(IrcCase, OnlyTheNamedRulesAreTaken) {
  IrcCaseMapping m = CaseRfc1459;
  EXPECT_TRUE(ReadIrcCaseMapping("ascii", &m));
  EXPECT_EQ(CaseAscii, m);
  EXPECT_TRUE(ReadIrcCaseMapping("strict-rfc1459", &m));
  EXPECT_EQ(CaseStrictRfc1459, m);
  EXPECT_FALSE(ReadIrcCaseMapping("rfc7613", &m));
  EXPECT_FALSE(ReadIrcCaseMapping("RFC1459", &m)) << "the token's value is exact";
  EXPECT_EQ(CaseStrictRfc1459, m) << "an unknown rule changes nothing";
}

}  // namespace
