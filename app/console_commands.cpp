// The commands on the console itself: emptying it, and finding the lines that hold a text.
#include <cstdio>
#include <cstring>

#include "app/commands.h"
#include "console/console_log.h"

namespace {

constexpr int kLastlogMost = 100;  // lines a /lastlog shows at most (the newest of them)

// The lines a /lastlog found, copied before it shows them (window's thread): 50 KB, kept off the
// stack.
struct LastlogRecord {
  char found[kLastlogMost][kConsoleLineLength];
};
LastlogRecord Lastlog;

// Case-blind search for needle (ASCII letters folded) in haystack.
bool Holds(const char* haystack, const char* needle) {
  const std::size_t n = std::strlen(needle);
  for (const char* p = haystack; *p; ++p) {
    std::size_t i = 0;
    while (i < n && p[i]) {
      char a = p[i], b = needle[i];
      if (a >= 'A' && a <= 'Z') a = static_cast<char>(a - 'A' + 'a');
      if (b >= 'A' && b <= 'Z') b = static_cast<char>(b - 'A' + 'a');
      if (a != b) break;
      ++i;
    }
    if (i == n) return true;
  }
  return false;
}

}  // namespace

void ClearCommand(const char*, const char*) { ConsoleClear(); }

// "/lastlog text": the kept lines that hold text, oldest first, under a heading, then a count.
void LastlogCommand(const char* rest, const char*) {
  if (!*rest) {
    ConsoleAppend("Usage: /lastlog text (the lines shown here that hold it)");
    return;
  }
  // Copied first: the lines shown below move the kept ones back as they come.
  auto& found = Lastlog.found;
  int count = 0, total = 0;
  for (int back = 0; back < ConsoleHistoryCount(); ++back) {
    if (!Holds(ConsoleHistoryLine(back), rest)) continue;
    if (count < kLastlogMost) std::snprintf(found[count++], kConsoleLineLength, "%s", ConsoleHistoryLine(back));
    ++total;
  }
  char text[kWordLength * 2];
  std::snprintf(text, sizeof text, "Lines with \"%.200s\":", rest);
  ConsoleAppend(text);
  for (int i = count - 1; i >= 0; --i) {
    char line[kConsoleLineLength + 8];
    std::snprintf(line, sizeof line, "  %s", found[i]);
    ConsoleAppend(line);
  }
  std::snprintf(text, sizeof text, "(%d line%s%s)", total, total == 1 ? "" : "s",
                total > count ? ", the newest shown" : "");
  ConsoleAppend(text);
}
