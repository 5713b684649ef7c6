// The console's buffers of lines, the one the panel shows (seven rows unless the user drags it),
// and the scrollback behind them.
#pragma once
#include <cstddef>

#include "console/row_spans.h"

constexpr int kConsoleLines = 7;
constexpr int kConsoleLineLength = 512;  // a row's bytes and its NUL: the longest row a wide panel holds
constexpr int kConsoleFallbackRow = 127;  // the bytes of a row while no panel measures them
constexpr int kConsoleHistory = 2000;  // lines kept for scrolling back, the seven shown included
constexpr int kMinConsoleRows = 2, kMaxConsoleRows = 40;  // how far the panel's height may be dragged

struct ConsoleLogRecord {
  char lines[kConsoleLines][kConsoleLineLength];  // 0 oldest, 6 newest
};

extern ConsoleLogRecord ConsoleLog;

// How a line is drawn: plain, or marked for the user's attention (it names the own nickname,
// or it is a private message). Every row a long text is carried over to keeps the mark.
enum ConsoleMark : unsigned char { MarkPlain = 0, MarkAttention = 1 };

// One row of the panel as it is drawn.
struct ConsoleRow {
  const char* text;
  ConsoleMark mark;
  int spanCount;
  RowSpan spans[kMaxRowSpans];  // the speaker's nickname in its colour, web addresses
};

// The console panel's handlers, set by the window while the panel exists (null without one).
struct ConsolePanelHooksRecord {
  // Receives the rows shown, top to bottom, and the marker of a scrolled-back view
  // ("[N more below]", else "").
  void (*showRows)(const ConsoleRow* rows, int count, const char* marker);
  // How many bytes of text fit in one of the panel's rows (platform/console_panel.h,
  // PanelRowFit). Text longer than a row is carried over to further rows there, broken after a
  // word; without it, after kConsoleFallbackRow bytes.
  std::size_t (*rowFit)(const char* text, std::size_t length);
};
extern ConsolePanelHooksRecord ConsolePanelHooks;
// Carries every kept line over again by ConsolePanelHooks.rowFit: the panel's width changed.
void ConsoleRewrap();

// Lines for the buffer shown.
void ConsoleAppend(const char* text);
void ConsoleAppendMarked(const char* text, ConsoleMark mark);
// A line someone said: speaker's nickname begins speakerOffset bytes into text ("<" before it:
// 1), and shows in its colour. Nothing is read back out of the wording.
void ConsoleAppendSpoken(const char* text, ConsoleMark mark, const char* speaker, int speakerOffset);
// The same for any buffer (shown or not); an id not open is the server's.
void ConsoleAppendTo(int buffer, const char* text, ConsoleMark mark, const char* speaker, int speakerOffset);

// The console keeps a buffer of lines for the server (0, always there) and one for each
// conversation; the panel shows one of them, and scrolling, clearing and the kept lines below
// are the shown one's.
constexpr int kConsoleBuffers = 25;
constexpr int kConsoleNameLength = 128;  // a buffer's name: a channel's or a nickname
// A new buffer, empty, named for the stderr mirror: its id, or -1 when every one is taken (or no
// memory is left).
int ConsoleOpenBuffer(const char* name);
// The server's buffer taken over by a conversation, or a partner's new nickname: the name the
// mirror gives its lines ("(server)" until then).
void ConsoleNameBuffer(int id, const char* name);
void ConsoleCloseBuffer(int id);  // its lines are gone; the server's buffer shows if it was shown
void ConsoleShowBuffer(int id);   // an id not open shows the server's
int ConsoleShownBuffer();
void ConsoleClear();
// Shows the lines as they are on a panel made since (the window made again by F1).
void ConsoleShowPanel();
// The user's own line or action to target (a channel or a partner), shown in its buffer and kept
// in its log.
void EchoOwnMessage(int buffer, const char* target, const char* text);
void EchoOwnAction(int buffer, const char* target, const char* text);

// Scrolling: rows > 0 go back towards older lines, < 0 forward; the view stops at either end.
// New lines keep a view that was scrolled back where it is; at the bottom it follows them.
void ConsoleScroll(int rows);
// The number of rows the user chose for the panel (kept within kMinConsoleRows..kMaxConsoleRows),
// and the most the window has room for: the panel shows the smaller, so a window made smaller
// shows fewer rows and the chosen height comes back when it grows. The view stays at the bottom
// or keeps its last row.
void ConsoleSetRows(int rows);
void ConsoleSetRoom(int rows);
int ConsoleRows();        // shown
int ConsoleChosenRows();  // chosen, as the next start takes it
int ConsoleScrollBack();       // rows between the newest line and the view's last row
int ConsoleHistoryCount();     // lines kept
// A kept line: back 0 is the newest. "" beyond the kept lines.
const char* ConsoleHistoryLine(int back);
ConsoleMark ConsoleHistoryMark(int back);  // MarkPlain beyond the kept lines
