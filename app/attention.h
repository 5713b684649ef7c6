// Lines that call for the user (the own nickname named, a private message) and the window's title.
#pragma once
#include <cstddef>

#include "console/console_log.h"

// The rules, on plain values. The mark of a dispatcher event's console line: a channel line or
// action by someone else that names ownNick, and every private message, are marked.
ConsoleMark EventMark(int code, const char* sender, const char* message, const char* ownNick);
// "#room - alice - QIVRA" (channel empty: "alice - QIVRA"), with "(2) " before it while two
// marked lines wait unseen.
void FormatWindowTitle(const char* channel, const char* nick, int unseen, char* out, std::size_t size);

// The shell's side (attention.cpp). The mark for the event's line (rn the sender, rm the text);
// a marked line while the window is in the background counts for the title and asks for the
// user's attention.
ConsoleMark MarkFor(int code, const char* rn, const char* rm);
// The title as the connection and the unseen lines are now; once a pass is enough.
void RefreshWindowTitle();
// The window became active (the user has seen the lines) or inactive.
void NoteWindowActive(bool active);
