// The console lines with their scrollback, the panel rows built from them, and the echoes of own lines.
#include "console/console_log.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "console/chat_log.h"
#include "console/display_text.h"
#include "console/settings.h"
#include "platform/ticks.h"

ConsoleLogRecord ConsoleLog;
void (*ConsolePanelSink)(const ConsoleRow* rows, int count, const char* marker) = nullptr;

namespace {

// Main thread only, as the seven lines are.
struct Scrollback {
  char lines[kConsoleHistory][kConsoleLineLength];
  ConsoleMark marks[kConsoleHistory];
  bool carried[kConsoleHistory];  // the line goes on from the one before it
  int newest;  // index of the newest line
  int count;
  int back;    // the view's last row is this many lines above the newest
  int rows;    // rows the panel shows: the chosen ones, or fewer when the window lacks room
  int chosen;  // rows the user dragged the panel to, kept while a small window shows fewer
  int room;    // the most rows the window has room for
};
Scrollback History = {{}, {}, {}, 0, 0, 0, kConsoleLines, kConsoleLines, kMaxConsoleRows};

int MostBack() { return History.count > History.rows ? History.count - History.rows : 0; }

int SlotOf(int back) { return (History.newest - back + kConsoleHistory) % kConsoleHistory; }

const char* HistoryAt(int back) {
  if (back < 0 || back >= History.count) return "";
  return History.lines[SlotOf(back)];
}

void ShowPanel() {
  static ConsoleRow rows[kMaxConsoleRows];
  for (int i = 0; i < History.rows; ++i) {
    int back = History.back + History.rows - 1 - i;
    ConsoleRow& row = rows[i];
    row.text = HistoryAt(back);
    bool kept = back < History.count;
    row.mark = kept ? History.marks[SlotOf(back)] : MarkPlain;
    row.spanCount = FindRowSpans(row.text, kept && History.carried[SlotOf(back)], row.spans, kMaxRowSpans);
  }
  char marker[48] = "";
  if (History.back > 0) std::snprintf(marker, sizeof marker, "[%d more below]", History.back);
  if (ConsolePanelSink) ConsolePanelSink(rows, History.rows, marker);
}

void PushLine(const char* text, std::size_t length, ConsoleMark mark, bool carried) {
  for (int i = 0; i < kConsoleLines - 1; ++i)
    std::memcpy(ConsoleLog.lines[i], ConsoleLog.lines[i + 1], kConsoleLineLength);
  std::memset(ConsoleLog.lines[kConsoleLines - 1], 0, kConsoleLineLength);
  std::memcpy(ConsoleLog.lines[kConsoleLines - 1], text, length);

  History.newest = (History.newest + 1) % kConsoleHistory;
  std::memcpy(History.lines[History.newest], ConsoleLog.lines[kConsoleLines - 1], kConsoleLineLength);
  History.marks[History.newest] = mark;
  History.carried[History.newest] = carried;
  if (History.count < kConsoleHistory) ++History.count;
  if (History.back > 0 && History.back < MostBack()) ++History.back;  // the view keeps its lines
}

void MirrorToStderr(const char* text) {
  static const char* mirror = std::getenv("QIVRA_CONSOLE_STDERR");
  if (mirror && *mirror && std::strcmp(mirror, "0") != 0) {
    std::fprintf(stderr, "[console] %s\n", text);
    std::fflush(stderr);
  }
}

}  // namespace

// Text is shown without formatting codes and as UTF-8, with the time in front when the
// settings ask for it. A text longer than a console line is carried over to further lines,
// broken after the last blank of a piece when there is one in its final quarter (never inside
// a character), so a long chat line stays readable instead of losing its end.
void ConsoleAppend(const char* text) { ConsoleAppendMarked(text, MarkPlain); }

void ConsoleAppendMarked(const char* text, ConsoleMark mark) {
  static char shown[16384];
  std::size_t stamp = 0;
  if (Settings.timestamps) {
    char clock[16];
    LocalClockText(clock, sizeof clock);
    stamp = static_cast<std::size_t>(std::snprintf(shown, sizeof shown, "[%s] ", clock));
  }
  MakeDisplayText(text ? text : "", shown + stamp, sizeof shown - stamp);
  MirrorToStderr(shown + stamp);  // the text as given, whatever the time stamps say
  text = shown;
  const std::size_t limit = kConsoleLineLength - 1;
  std::size_t remaining = std::strlen(text);
  bool carried = false;
  do {
    std::size_t piece = Utf8Prefix(text, remaining, limit);
    if (remaining > limit) {
      for (std::size_t i = limit; i > limit - limit / 4; --i) {
        if (text[i - 1] == ' ') { piece = i; break; }
      }
    }
    if (piece == 0) piece = remaining < limit ? remaining : limit;  // never stall on bad input
    PushLine(text, piece, mark, carried);
    carried = true;
    text += piece;
    remaining -= piece;
  } while (remaining > 0);
  ShowPanel();
}

void ConsoleShowPanel() { ShowPanel(); }

void ConsoleClear() {
  std::memset(&ConsoleLog, 0, sizeof ConsoleLog);
  History.newest = 0;
  History.count = 0;
  History.back = 0;
  ShowPanel();
}

void ConsoleScroll(int rows) {
  long back = static_cast<long>(History.back) + rows;
  if (back < 0) back = 0;
  if (back > MostBack()) back = MostBack();
  if (back == History.back) return;
  History.back = static_cast<int>(back);
  ShowPanel();
}

namespace {

int InRowRange(int rows) {
  if (rows < kMinConsoleRows) return kMinConsoleRows;
  return rows > kMaxConsoleRows ? kMaxConsoleRows : rows;
}

void ShowRows(int rows) {
  if (rows == History.rows) return;
  History.rows = rows;
  if (History.back > MostBack()) History.back = MostBack();
  ShowPanel();
}

}  // namespace

void ConsoleSetRows(int rows) {
  History.chosen = InRowRange(rows);
  ShowRows(History.chosen < History.room ? History.chosen : History.room);
}

void ConsoleSetRoom(int rows) {
  History.room = InRowRange(rows);
  ShowRows(History.chosen < History.room ? History.chosen : History.room);
}

int ConsoleRows() { return History.rows; }
int ConsoleChosenRows() { return History.chosen; }

int ConsoleScrollBack() { return History.back; }
int ConsoleHistoryCount() { return History.count; }
const char* ConsoleHistoryLine(int back) { return HistoryAt(back); }

ConsoleMark ConsoleHistoryMark(int back) {
  if (back < 0 || back >= History.count) return MarkPlain;
  return History.marks[SlotOf(back)];
}

void EchoOwnMessage(const char* text) {
  char buffer[kConsoleLineLength * 40];  // the whole echo; ConsoleAppend carries it over
  std::snprintf(buffer, sizeof buffer, "<%s> %s", Settings.nickname, text ? text : "");
  ConsoleAppend(buffer);
  LogChatLine(Settings.channel, buffer);
}

void EchoOwnAction(const char* text) {
  char buffer[kConsoleLineLength * 40];
  std::snprintf(buffer, sizeof buffer, "* %s %s", Settings.nickname, text ? text : "");
  ConsoleAppend(buffer);
  LogChatLine(Settings.channel, buffer);
}
