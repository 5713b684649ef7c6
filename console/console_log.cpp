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
std::size_t (*ConsoleRowFit)(const char* text, std::size_t length) = nullptr;

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

// The bytes of text (remaining long) the next row takes: what the panel's width holds, ended
// after a word (Pango breaks the line); without a panel, kConsoleFallbackRow bytes, broken
// after the last blank of the piece's final quarter when there is one. Never inside a
// character, never nothing.
std::size_t NextRowPiece(const char* text, std::size_t remaining) {
  const std::size_t most = kConsoleLineLength - 1;
  if (ConsoleRowFit) {
    std::size_t span = Utf8Prefix(text, remaining, most);
    if (span == 0) span = remaining < most ? remaining : most;  // never stall on bad input
    std::size_t piece = ConsoleRowFit(text, span);
    return piece == 0 || piece > span ? span : piece;
  }
  const std::size_t limit = kConsoleFallbackRow;
  std::size_t piece = Utf8Prefix(text, remaining, limit);
  if (remaining > limit) {
    for (std::size_t i = limit; i > limit - limit / 4; --i) {
      if (text[i - 1] == ' ') { piece = i; break; }
    }
  }
  if (piece == 0) piece = remaining < limit ? remaining : limit;
  return piece;
}

// One line of text into as many rows as it takes; carried: its first row goes on from the row
// before (a line whose start left the scrollback).
void PushRows(const char* text, ConsoleMark mark, bool carried) {
  std::size_t remaining = std::strlen(text);
  do {
    std::size_t piece = NextRowPiece(text, remaining);
    PushLine(text, piece, mark, carried);
    carried = true;
    text += piece;
    remaining -= piece;
  } while (remaining > 0);
}

}  // namespace

// Text is shown without formatting codes and as UTF-8, with the time in front unless the
// settings say otherwise. A text longer than a row is carried over to further rows, so a long
// chat line stays readable in the panel's one type size instead of losing its end.
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
  PushRows(shown, mark, false);
  ShowPanel();
}

// The kept rows are joined back into their lines (a carried row goes on from the one before)
// and carried over again at the new width. The view stays at the bottom, or as far back as
// the new rows allow.
void ConsoleRewrap() {
  if (History.count == 0) return;
  Scrollback* old = static_cast<Scrollback*>(std::malloc(sizeof(Scrollback)));
  if (!old) return;  // the rows stay as they were
  std::memcpy(old, &History, sizeof(Scrollback));
  const int back = History.back;
  std::memset(&ConsoleLog, 0, sizeof ConsoleLog);
  History.newest = 0;
  History.count = 0;
  History.back = 0;
  static char line[16384];
  std::size_t used = 0;
  ConsoleMark mark = MarkPlain;
  bool firstCarried = false, pending = false;  // pending: a line (maybe an empty one) is gathered
  for (int at = old->count - 1; at >= 0; --at) {
    const int slot = (old->newest - at + kConsoleHistory) % kConsoleHistory;
    if (pending && !old->carried[slot]) {
      line[used] = '\0';
      PushRows(line, mark, firstCarried);
      used = 0;
      pending = false;
    }
    if (!pending) {
      mark = old->marks[slot];
      firstCarried = at == old->count - 1 && old->carried[slot];
      pending = true;
    }
    const std::size_t length = strnlen(old->lines[slot], kConsoleLineLength);
    if (used + length < sizeof line) {
      std::memcpy(line + used, old->lines[slot], length);
      used += length;
    }
  }
  line[used] = '\0';
  PushRows(line, mark, firstCarried);
  std::free(old);
  History.back = back < MostBack() ? back : MostBack();
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
