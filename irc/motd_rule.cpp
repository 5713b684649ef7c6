// Whether a line of the message of the day shows: once per run, and again when asked for.
#include "irc/motd_rule.h"

#include <atomic>

#include "irc/words/server_lines.h"

namespace {

// `shown` is the link thread's; `asked` is set by the window's thread and taken by the link
// thread at the end of the message it showed.
struct MotdRecord {
  std::atomic<bool> shown{false};
  std::atomic<bool> asked{false};
};
MotdRecord Motd;

}  // namespace

bool IsMotdLine(const IrcMessage& m) {
  int numeric = NumericOf(m);
  return numeric == 375 || numeric == 372 || numeric == 376 || numeric == 422;
}

bool HideRepeatedMotd(const IrcMessage& m, char* text, std::size_t size) {
  if (!IsMotdLine(m)) return false;
  bool ends = IsEndOfMotd(m);
  if (!Motd.shown.load() || Motd.asked.load()) {
    // Marked only at its end: a link lost in the middle leaves it to show whole next time.
    if (ends) {
      Motd.shown.store(true);
      Motd.asked.store(false);
    }
    return false;
  }
  if (text && size > 0) FormatInto(text, size, "%s", NumericOf(m) == 376 ? kMotdAsBeforeLine : "");
  return true;
}

void AskForMotd() { Motd.asked.store(true); }

void ForgetMotdShown() {
  Motd.shown.store(false);
  Motd.asked.store(false);
}
