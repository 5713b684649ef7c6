// The seven console lines shown in the console panel.
#pragma once

constexpr int kConsoleLines = 7;
constexpr int kConsoleLineLength = 128;

struct ConsoleLogRecord {
  char lines[kConsoleLines][kConsoleLineLength];  // 0 oldest, 6 newest
};

extern ConsoleLogRecord ConsoleLog;

// Set by the window while the console panel exists; receives the panel text.
extern void (*ConsolePanelSink)(const char* panelText);

void ConsoleAppend(const char* text);
void ConsoleClear();
// Shows the lines as they are on a panel made since (the window made again by F1).
void ConsoleShowPanel();
void EchoOwnMessage(const char* text);
void EchoOwnAction(const char* text);
