// The seven console lines, the panel text built from them, and the echoes of own lines.
#include "console/console_log.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "console/settings.h"

ConsoleLogRecord ConsoleLog;
void (*ConsolePanelSink)(const char* panelText) = nullptr;

static void ShowPanel() {
  char heh[kConsoleLines * 256];  // 1792 bytes: seven lines and six line feeds fit
  std::size_t used = 0;
  for (int i = 0; i < kConsoleLines; ++i) {
    if (i > 0) heh[used++] = '\n';
    std::size_t length = strnlen(ConsoleLog.lines[i], kConsoleLineLength - 1);
    std::memcpy(heh + used, ConsoleLog.lines[i], length);
    used += length;
  }
  heh[used] = '\0';
  if (ConsolePanelSink) ConsolePanelSink(heh);
}

static void PushLine(const char* text, std::size_t length) {
  for (int i = 0; i < kConsoleLines - 1; ++i)
    std::memcpy(ConsoleLog.lines[i], ConsoleLog.lines[i + 1], kConsoleLineLength);
  std::memset(ConsoleLog.lines[kConsoleLines - 1], 0, kConsoleLineLength);
  std::memcpy(ConsoleLog.lines[kConsoleLines - 1], text, length);
}

static void MirrorToStderr(const char* text) {
  static const char* mirror = std::getenv("QIVRA_CONSOLE_STDERR");
  if (mirror && *mirror && std::strcmp(mirror, "0") != 0) {
    std::fprintf(stderr, "[console] %s\n", text);
    std::fflush(stderr);
  }
}

// A text longer than a console line is carried over to further lines, broken
// after the last blank of a piece when there is one in its final quarter, so a
// long chat line stays readable instead of losing its end.
void ConsoleAppend(const char* text) {
  if (!text) text = "";
  MirrorToStderr(text);
  const std::size_t limit = kConsoleLineLength - 1;
  std::size_t remaining = std::strlen(text);
  do {
    std::size_t piece = remaining;
    if (piece > limit) {
      piece = limit;
      for (std::size_t i = limit; i > limit - limit / 4; --i) {
        if (text[i - 1] == ' ') { piece = i; break; }
      }
    }
    PushLine(text, piece);
    text += piece;
    remaining -= piece;
  } while (remaining > 0);
  ShowPanel();
}

void ConsoleShowPanel() { ShowPanel(); }

void ConsoleClear() {
  std::memset(&ConsoleLog, 0, sizeof ConsoleLog);
  ShowPanel();
}

void EchoOwnMessage(const char* text) {
  char buffer[kConsoleLineLength * 40];  // the whole echo; ConsoleAppend carries it over
  std::snprintf(buffer, sizeof buffer, "<%s> %s", Settings.nickname, text ? text : "");
  ConsoleAppend(buffer);
}

void EchoOwnAction(const char* text) {
  char buffer[kConsoleLineLength * 40];
  std::snprintf(buffer, sizeof buffer, "* %s %s", Settings.nickname, text ? text : "");
  ConsoleAppend(buffer);
}
