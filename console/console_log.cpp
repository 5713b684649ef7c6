// The console's buffers (the server's and one per conversation) with their scrollback, the panel
// rows built from the one shown, and the echoes of own lines.
#include "console/console_log.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "console/chat_log.h"
#include "console/display_text.h"
#include "console/settings.h"
#include "platform/ticks.h"

ConsoleLogRecord ConsoleLog;
ConsolePanelHooksRecord ConsolePanelHooks;

namespace {

// One buffer's rows, newest last in a ring. Main thread only, as the seven lines are.
struct Scrollback {
  char lines[kConsoleHistory][kConsoleLineLength];
  ConsoleMark marks[kConsoleHistory];
  bool carried[kConsoleHistory];  // the row goes on from the one before it
  int16_t speakerFrom[kConsoleHistory], speakerTo[kConsoleHistory];  // the speaker's bytes, if any
  int newest;  // index of the newest row
  int count;
  int back;    // the view's last row is this many rows above the newest
};

// The buffers (made when first used: a megabyte each) and the panel's height, which every
// buffer shares. Main thread only.
struct ConsoleRecord {
  Scrollback* buffers[kConsoleBuffers] = {};
  bool open[kConsoleBuffers] = {true};
  char names[kConsoleBuffers][kConsoleNameLength] = {"(server)"};  // for the stderr mirror
  int shown = 0;
  int rows = kConsoleLines;     // rows the panel shows: the chosen ones, or fewer when the window lacks room
  int chosen = kConsoleLines;   // rows the user dragged the panel to, kept while a small window shows fewer
  int room = kMaxConsoleRows;   // the most rows the window has room for
  // Stands in when a buffer could not be made (no memory): nothing is kept in it. Left without
  // an initializer, so that the record is zeroed storage set up at start, not a megabyte of
  // initialized data in the program file.
  Scrollback standIn;
};
ConsoleRecord Console;

// The buffer, made at its first use; null when there is no memory for it (nothing is kept).
Scrollback* Buffer(int id) {
  if (id < 0 || id >= kConsoleBuffers) id = 0;
  if (!Console.buffers[id]) Console.buffers[id] = static_cast<Scrollback*>(std::calloc(1, sizeof(Scrollback)));
  return Console.buffers[id];
}

Scrollback& Shown() {
  Scrollback* b = Buffer(Console.shown);
  return b ? *b : Console.standIn;
}

int MostBack(const Scrollback& b) { return b.count > Console.rows ? b.count - Console.rows : 0; }

int SlotOf(const Scrollback& b, int back) { return (b.newest - back + kConsoleHistory) % kConsoleHistory; }

const char* RowAt(const Scrollback& b, int back) {
  if (back < 0 || back >= b.count) return "";
  return b.lines[SlotOf(b, back)];
}

void ShowPanel() {
  ConsoleRow rows[kMaxConsoleRows];
  const Scrollback& b = Shown();
  for (int i = 0; i < Console.rows; ++i) {
    int back = b.back + Console.rows - 1 - i;
    ConsoleRow& row = rows[i];
    row.text = RowAt(b, back);
    const bool kept = back < b.count;
    const int slot = SlotOf(b, back);
    row.mark = kept ? b.marks[slot] : MarkPlain;
    row.spanCount =
        FindRowSpans(row.text, kept ? b.speakerFrom[slot] : 0, kept ? b.speakerTo[slot] : 0, row.spans, kMaxRowSpans);
  }
  char marker[48] = "";
  if (b.back > 0) std::snprintf(marker, sizeof marker, "[%d more below]", b.back);
  if (ConsolePanelHooks.showRows) ConsolePanelHooks.showRows(rows, Console.rows, marker);
}

// The rows any buffer was given last, as the seven console lines.
void KeepSeven(const char* text, std::size_t length) {
  for (int i = 0; i < kConsoleLines - 1; ++i)
    std::memcpy(ConsoleLog.lines[i], ConsoleLog.lines[i + 1], kConsoleLineLength);
  std::memset(ConsoleLog.lines[kConsoleLines - 1], 0, kConsoleLineLength);
  std::memcpy(ConsoleLog.lines[kConsoleLines - 1], text, length);
}

void PushRow(Scrollback& b, const char* text, std::size_t length, ConsoleMark mark, bool carried, int speakerFrom,
             int speakerTo) {
  KeepSeven(text, length);
  b.newest = (b.newest + 1) % kConsoleHistory;
  std::memcpy(b.lines[b.newest], ConsoleLog.lines[kConsoleLines - 1], kConsoleLineLength);
  b.marks[b.newest] = mark;
  b.carried[b.newest] = carried;
  const bool within = speakerTo <= static_cast<int>(length);  // a speaker cut off by the break is none
  b.speakerFrom[b.newest] = static_cast<int16_t>(within ? speakerFrom : 0);
  b.speakerTo[b.newest] = static_cast<int16_t>(within ? speakerTo : 0);
  if (b.count < kConsoleHistory) ++b.count;
  if (b.back > 0 && b.back < MostBack(b)) ++b.back;  // the view keeps its rows
}

// Test seam: QIVRA_CONSOLE_STDERR=1 prints "[console] text"; =buffers "[console:#room] text",
// the buffer's name telling which conversation the line went to.
void MirrorToStderr(int buffer, const char* text) {
  const char* mirror = std::getenv("QIVRA_CONSOLE_STDERR");
  if (!mirror || !*mirror || std::strcmp(mirror, "0") == 0) return;
  if (std::strcmp(mirror, "buffers") == 0) {
    std::fprintf(stderr, "[console:%s] %s\n", Console.names[buffer], text);
  } else {
    std::fprintf(stderr, "[console] %s\n", text);
  }
  std::fflush(stderr);
}

// The bytes of text (remaining long) the next row takes: what the panel's width holds, ended
// after a word (Pango breaks the line); without a panel, kConsoleFallbackRow bytes, broken
// after the last blank of the piece's final quarter when there is one. Never inside a
// character, never nothing.
std::size_t NextRowPiece(const char* text, std::size_t remaining) {
  const std::size_t most = kConsoleLineLength - 1;
  if (ConsolePanelHooks.rowFit) {
    std::size_t span = Utf8Prefix(text, remaining, most);
    if (span == 0) span = remaining < most ? remaining : most;  // never stall on bad input
    std::size_t piece = ConsolePanelHooks.rowFit(text, span);
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
// before (a line whose start left the scrollback). Only the first row has the speaker.
void PushRows(Scrollback& b, const char* text, ConsoleMark mark, bool carried, int speakerFrom, int speakerTo) {
  std::size_t remaining = std::strlen(text);
  bool first = true;
  do {
    std::size_t piece = NextRowPiece(text, remaining);
    PushRow(b, text, piece, mark, carried, first ? speakerFrom : 0, first ? speakerTo : 0);
    carried = true;
    first = false;
    text += piece;
    remaining -= piece;
  } while (remaining > 0);
}

// The kept rows joined back into their lines (a carried row goes on from the one before) and
// carried over again at the new width; the view stays at the bottom, or as far back as the new
// rows allow.
void Rewrap(Scrollback& b) {
  if (b.count == 0) return;
  Scrollback* old = static_cast<Scrollback*>(std::malloc(sizeof(Scrollback)));
  if (!old) return;  // the rows stay as they were
  std::memcpy(old, &b, sizeof(Scrollback));
  const int back = b.back;
  b.newest = 0;
  b.count = 0;
  b.back = 0;
  char line[16384];
  std::size_t used = 0;
  ConsoleMark mark = MarkPlain;
  int speakerFrom = 0, speakerTo = 0;
  bool firstCarried = false, pending = false;  // pending: a line (maybe an empty one) is gathered
  for (int at = old->count - 1; at >= 0; --at) {
    const int slot = (old->newest - at + kConsoleHistory) % kConsoleHistory;
    if (pending && !old->carried[slot]) {
      line[used] = '\0';
      PushRows(b, line, mark, firstCarried, speakerFrom, speakerTo);
      used = 0;
      pending = false;
    }
    if (!pending) {
      mark = old->marks[slot];
      speakerFrom = old->speakerFrom[slot];
      speakerTo = old->speakerTo[slot];
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
  PushRows(b, line, mark, firstCarried, speakerFrom, speakerTo);
  std::free(old);
  b.back = back < MostBack(b) ? back : MostBack(b);
}

}  // namespace

// Text is shown without formatting codes and as UTF-8, with the time in front unless the
// settings say otherwise. A text longer than a row is carried over to further rows, so a long
// chat line stays readable in the panel's one type size instead of losing its end.
void ConsoleAppend(const char* text) { ConsoleAppendTo(Console.shown, text, MarkPlain, nullptr, 0); }

void ConsoleAppendMarked(const char* text, ConsoleMark mark) {
  ConsoleAppendTo(Console.shown, text, mark, nullptr, 0);
}

void ConsoleAppendSpoken(const char* text, ConsoleMark mark, const char* speaker, int speakerOffset) {
  ConsoleAppendTo(Console.shown, text, mark, speaker, speakerOffset);
}

void ConsoleAppendTo(int buffer, const char* text, ConsoleMark mark, const char* speaker, int speakerOffset) {
  char shown[16384];
  if (buffer < 0 || buffer >= kConsoleBuffers || !Console.open[buffer]) buffer = 0;
  std::size_t stamp = 0;
  if (Settings.timestamps) {
    char clock[16];
    LocalClockText(clock, sizeof clock);
    stamp = static_cast<std::size_t>(std::snprintf(shown, sizeof shown, "[%s] ", clock));
  }
  MakeDisplayText(text ? text : "", shown + stamp, sizeof shown - stamp);
  MirrorToStderr(buffer, shown + stamp);  // the text as given, whatever the time stamps say
  // The speaker's bytes as shown: the bytes before it (ASCII marks such as "<" or "* ") keep
  // their length; the nickname's own may grow when it is not UTF-8.
  int speakerFrom = 0, speakerTo = 0;
  if (speaker && speaker[0] && speakerOffset >= 0 && speakerOffset < 8) {
    char nick[256];
    MakeDisplayText(speaker, nick, sizeof nick);
    speakerFrom = static_cast<int>(stamp) + speakerOffset;
    speakerTo = speakerFrom + static_cast<int>(std::strlen(nick));
    if (std::strncmp(shown + speakerFrom, nick, std::strlen(nick)) != 0) speakerFrom = speakerTo = 0;
  }
  Scrollback* b = Buffer(buffer);
  if (!b) return;
  PushRows(*b, shown, mark, false, speakerFrom, speakerTo);
  if (b == &Shown()) ShowPanel();
}

void ConsoleRewrap() {
  for (Scrollback* b : Console.buffers)
    if (b) Rewrap(*b);
  ShowPanel();
}

int ConsoleOpenBuffer(const char* name) {
  for (int id = 1; id < kConsoleBuffers; ++id) {
    if (Console.open[id]) continue;
    Scrollback* b = Buffer(id);
    if (!b) return -1;
    b->newest = b->count = b->back = 0;
    Console.open[id] = true;
    ConsoleNameBuffer(id, name);
    return id;
  }
  return -1;
}

void ConsoleNameBuffer(int id, const char* name) {
  if (id >= 0 && id < kConsoleBuffers) std::snprintf(Console.names[id], kConsoleNameLength, "%s", name ? name : "");
}

void ConsoleCloseBuffer(int id) {
  if (id <= 0 || id >= kConsoleBuffers) return;  // the server's buffer stays
  Console.open[id] = false;
  std::free(Console.buffers[id]);
  Console.buffers[id] = nullptr;
  if (Console.shown == id) ConsoleShowBuffer(0);
}

void ConsoleShowBuffer(int id) {
  Console.shown = id >= 0 && id < kConsoleBuffers && Console.open[id] ? id : 0;
  ShowPanel();
}

int ConsoleShownBuffer() { return Console.shown; }

void ConsoleShowPanel() { ShowPanel(); }

void ConsoleClear() {
  std::memset(&ConsoleLog, 0, sizeof ConsoleLog);
  Scrollback& b = Shown();
  b.newest = 0;
  b.count = 0;
  b.back = 0;
  ShowPanel();
}

void ConsoleScroll(int rows) {
  Scrollback& b = Shown();
  long back = static_cast<long>(b.back) + rows;
  if (back < 0) back = 0;
  if (back > MostBack(b)) back = MostBack(b);
  if (back == b.back) return;
  b.back = static_cast<int>(back);
  ShowPanel();
}

namespace {

int InRowRange(int rows) {
  if (rows < kMinConsoleRows) return kMinConsoleRows;
  return rows > kMaxConsoleRows ? kMaxConsoleRows : rows;
}

void ShowRows(int rows) {
  if (rows == Console.rows) return;
  Console.rows = rows;
  for (Scrollback* b : Console.buffers)
    if (b && b->back > MostBack(*b)) b->back = MostBack(*b);
  ShowPanel();
}

}  // namespace

void ConsoleSetRows(int rows) {
  Console.chosen = InRowRange(rows);
  ShowRows(Console.chosen < Console.room ? Console.chosen : Console.room);
}

void ConsoleSetRoom(int rows) {
  Console.room = InRowRange(rows);
  ShowRows(Console.chosen < Console.room ? Console.chosen : Console.room);
}

int ConsoleRows() { return Console.rows; }
int ConsoleChosenRows() { return Console.chosen; }

int ConsoleScrollBack() { return Shown().back; }
int ConsoleHistoryCount() { return Shown().count; }
const char* ConsoleHistoryLine(int back) { return RowAt(Shown(), back); }

ConsoleMark ConsoleHistoryMark(int back) {
  const Scrollback& b = Shown();
  if (back < 0 || back >= b.count) return MarkPlain;
  return b.marks[SlotOf(b, back)];
}

void EchoOwnMessage(int buffer, const char* target, const char* text) {
  char echo[kConsoleLineLength * 40];  // the whole echo; ConsoleAppendTo carries it over
  std::snprintf(echo, sizeof echo, "<%s> %s", Settings.nickname, text ? text : "");
  ConsoleAppendTo(buffer, echo, MarkPlain, Settings.nickname, 1);
  LogChatLine(target, echo);
}

void EchoOwnAction(int buffer, const char* target, const char* text) {
  char echo[kConsoleLineLength * 40];
  std::snprintf(echo, sizeof echo, "* %s %s", Settings.nickname, text ? text : "");
  ConsoleAppendTo(buffer, echo, MarkPlain, Settings.nickname, 2);
  LogChatLine(target, echo);
}
