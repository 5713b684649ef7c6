// Chat logs: one plain UTF-8 file per network and channel, and one per private partner.
#pragma once

// Appends a line (as the console words it) to the log of target, a channel or a nickname, on
// the current server: $XDG_DATA_HOME/qivra/logs/<server>/<target>.log. Each line is stamped
// with the date and time; a file's first line in a run says "--- Log opened <date time>".
// Nothing happens with "LOG off" or before the settings were loaded. The first failure is
// reported once on the console and stops logging until the next start. Main thread only.
void LogChatLine(const char* target, const char* line);
// The user's own private message (or notice) to partner, in partner's log as
// "<nick> text" ("-nick- text"), as the partner's own lines read there.
void LogOwnPrivate(const char* partner, const char* text, bool notice);
// At the program's start: logging (stopped by a failure) may begin again.
void StartChatLogs();
// Closes every log file kept open (at a disconnect and at exit); the next line opens it again.
void CloseChatLogs();
