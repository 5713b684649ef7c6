// Numeric replies worded from their numbers: user counts, the server's limits, idle times.
#include "irc/words/numeric_lines.h"

#include <cstdlib>
#include <cstring>

#include "platform/ticks.h"

namespace {

bool IsNumber(const char* text) {
  if (!*text) return false;
  for (const char* p = text; *p; ++p)
    if (*p < '0' || *p > '9') return false;
  return true;
}

// The first two runs of digits in text ("Current local users: 4, Max: 4", "... 4  Max: 4").
bool TwoNumbersIn(const char* text, long long* first, long long* second) {
  long long found[2];
  int count = 0;
  for (const char* p = text; *p && count < 2;) {
    if (*p >= '0' && *p <= '9') {
      found[count++] = std::atoll(p);
      p += std::strspn(p, "0123456789");
    } else {
      ++p;
    }
  }
  if (count < 2) return false;
  *first = found[0];
  *second = found[1];
  return true;
}

// 265 and 266: ngircd and ircd-irc2 give the counts as parameters, InspIRCd and hybrid only
// in the text.
bool UserCountText(const IrcMessage& m, const char* which, char* out, std::size_t size) {
  long long now = 0, most = 0;
  if (m.count >= 4 && IsNumber(Param(m, 1)) && IsNumber(Param(m, 2))) {
    now = std::atoll(Param(m, 1));
    most = std::atoll(Param(m, 2));
  } else if (!TwoNumbersIn(Param(m, m.count - 1), &now, &most)) {
    return false;
  }
  FormatInto(out, size, "%s users: %lld (most %lld)", which, now, most);
  return true;
}

struct Limit {
  const char* key;   // "NICKLEN="
  const char* words;  // "nicknames"
};
const Limit kLimits[] = {{"NICKLEN=", "nicknames"}, {"CHANNELLEN=", "channel names"}, {"TOPICLEN=", "topics"}};

// 005: of the feature list, the network's name and the lengths a user runs into; the rest
// (modes, prefixes, case rules) means nothing to a reader.
void FeatureText(const IrcMessage& m, char* out, std::size_t size) {
  char network[64] = "", limits[256] = "";
  std::size_t used = 0;
  const int last = m.trailing ? m.count - 1 : m.count;  // the trailing "are supported ..." is no token
  for (int i = 1; i < last; ++i) {
    const char* token = Param(m, i);
    if (std::strncmp(token, "NETWORK=", 8) == 0 && token[8]) FormatInto(network, sizeof network, "%s", token + 8);
    for (const Limit& limit : kLimits) {
      std::size_t keyLength = std::strlen(limit.key);
      if (std::strncmp(token, limit.key, keyLength) != 0 || !IsNumber(token + keyLength)) continue;
      FormatInto(limits + used, sizeof limits - used, "%s%s up to %s%s", used ? ", " : "", limit.words,
                 token + keyLength, used ? "" : " characters");
      used += strnlen(limits + used, sizeof limits - used);
    }
  }
  if (network[0] && limits[0]) {
    FormatInto(out, size, "Network %s: %s", network, limits);
  } else if (network[0]) {
    FormatInto(out, size, "Network %s", network);
  } else if (limits[0]) {
    FormatInto(out, size, "On this server: %s", limits);
  } else {
    out[0] = '\0';
  }
}

// 317: «<me> <nick> <idle seconds> [<signed on>] :seconds idle, signon time».
bool IdleText(const IrcMessage& m, char* out, std::size_t size) {
  if (!IsNumber(Param(m, 2))) return false;
  char idle[64], since[64] = "";
  FormatDuration(std::atoll(Param(m, 2)), idle, sizeof idle);
  if (m.count >= 5 && IsNumber(Param(m, 3))) LocalMomentText(std::atoll(Param(m, 3)), since, sizeof since);
  if (since[0]) {
    FormatInto(out, size, "%s has been idle for %s, online since %s", Param(m, 1), idle, since);
  } else {
    FormatInto(out, size, "%s has been idle for %s", Param(m, 1), idle);
  }
  return true;
}

// 338: hybrid «<me> <nick> <user@host> <address> :Actual user@host, actual IP»; others give
// only the address before the text.
bool ActualHostText(const IrcMessage& m, char* out, std::size_t size) {
  if (m.count >= 5) {
    FormatInto(out, size, "%s's actual address is %s (%s)", Param(m, 1), Param(m, 2), Param(m, 3));
  } else if (m.count == 4) {
    FormatInto(out, size, "%s's actual address is %s", Param(m, 1), Param(m, 2));
  } else {
    return false;
  }
  return true;
}

}  // namespace

void FormatDuration(long long seconds, char* out, std::size_t size) {
  static const struct {
    long long seconds;
    const char* name;
  } kUnits[] = {{86400, "day"}, {3600, "hour"}, {60, "minute"}, {1, "second"}};
  if (seconds < 0) seconds = 0;
  std::size_t used = 0;
  int named = 0;
  out[0] = '\0';
  for (const auto& unit : kUnits) {
    long long count = seconds / unit.seconds;
    if (count == 0 || named == 2) {
      if (named) ++named;  // only neighbouring units: "2 days 3 seconds" says nothing useful
      continue;
    }
    seconds -= count * unit.seconds;
    FormatInto(out + used, size - used, "%s%lld %s%s", used ? " " : "", count, unit.name, count == 1 ? "" : "s");
    used += strnlen(out + used, size - used);
    ++named;
  }
  if (!out[0]) FormatInto(out, size, "0 seconds");
}

bool FormatCountedReply(const IrcMessage& m, char* out, std::size_t size) {
  switch (NumericOf(m)) {
    case 5: FeatureText(m, out, size); return true;
    case 265: return UserCountText(m, "Local", out, size);
    case 266: return UserCountText(m, "Global", out, size);
    case 317: return IdleText(m, out, size);
    case 338: return ActualHostText(m, out, size);
    default: return false;
  }
}
