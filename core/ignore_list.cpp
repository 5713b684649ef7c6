// The run's list of ignored nicknames, guarded for the receive thread that reads it.
#include "core/ignore_list.h"

#include <cstdio>
#include <cstring>
#include <mutex>

#include "core/irc_case.h"

namespace {

struct IgnoreListRecord {
  std::mutex lock;  // held only for the copy or compare: never across anything that waits
  char nicks[kIgnoredNicks][kIgnoredNickLength];
};
IgnoreListRecord Ignored;



int Find(const char* nick) {
  for (int i = 0; i < kIgnoredNicks; ++i)
    if (Ignored.nicks[i][0] && SameIrcName(Ignored.nicks[i], nick)) return i;
  return -1;
}

// A nickname is one word that fits its slot: the list never holds half a name.
bool Acceptable(const char* nick) {
  std::size_t length = nick ? strnlen(nick, kIgnoredNickLength) : 0;
  return length > 0 && length < kIgnoredNickLength && !std::strpbrk(nick, " ,\r\n");
}

}  // namespace

IgnoreResult IgnoreNick(const char* nick) {
  if (!Acceptable(nick)) return IgnoreBadName;
  std::lock_guard<std::mutex> hold(Ignored.lock);
  if (Find(nick) >= 0) return IgnoreAlready;
  for (auto& slot : Ignored.nicks) {
    if (slot[0]) continue;
    std::snprintf(slot, sizeof slot, "%s", nick);
    return IgnoreAdded;
  }
  return IgnoreFull;
}

IgnoreResult UnignoreNick(const char* nick) {
  if (!Acceptable(nick)) return IgnoreBadName;
  std::lock_guard<std::mutex> hold(Ignored.lock);
  int index = Find(nick);
  if (index < 0) return IgnoreNotThere;
  Ignored.nicks[index][0] = '\0';
  return IgnoreRemoved;
}

bool IsNickIgnored(const char* nick) {
  if (!nick || !*nick) return false;
  std::lock_guard<std::mutex> hold(Ignored.lock);
  return Find(nick) >= 0;
}

int ListIgnoredNicks(char* out, std::size_t size) {
  if (!out || size == 0) return 0;
  out[0] = '\0';
  std::size_t used = 0;
  int count = 0;
  std::lock_guard<std::mutex> hold(Ignored.lock);
  for (const auto& slot : Ignored.nicks) {
    if (!slot[0]) continue;
    ++count;
    if (used >= size) continue;
    int n = std::snprintf(out + used, size - used, "%s%s", used ? ", " : "", slot);
    if (n > 0) used += static_cast<std::size_t>(n) < size - used ? static_cast<std::size_t>(n) : size - used;
  }
  return count;
}

void ClearIgnoredNicks() {
  std::lock_guard<std::mutex> hold(Ignored.lock);
  for (auto& slot : Ignored.nicks) slot[0] = '\0';
}
