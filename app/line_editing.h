// Terminal-style editing of the input line's text: word moves and deletes (byte positions).
#pragma once

// Words are runs of non-blanks, as a shell's line editor takes them for Ctrl+W.
// The start of the word before the cursor (blanks just before it skipped first).
int WordStartBefore(const char* text, int cursor);
// The end of the word after the cursor (blanks just after it skipped first).
int WordEndAfter(const char* text, int cursor);
// Ctrl+W: removes the word before the cursor with the blanks after it; the new cursor.
int DeleteWordBefore(char* text, int cursor);
// Ctrl+U: removes everything before the cursor; the new cursor (0).
int DeleteToLineStart(char* text, int cursor);
