// The one table of "/" commands: each one's word, usage, help line and handler.
#pragma once

struct CommandRow {
  const char* word;   // "/kick"
  const char* usage;  // "/kick nick [reason]"
  const char* what;   // what it does, for "/help"
  void (*run)(const char* rest, const char* typed);
  bool exactCase;     // the first commands keep their case ("/me"); the others take any
};

// Runs the command a "/" line names by its whole first word ("/me" is one, "/meow" another),
// or says "Unknown command: ..." and sends nothing.
void RunCommandLine(const char* line);
// The row at index, for "/help" and its tests; null past the end.
const CommandRow* CommandAt(int index);
