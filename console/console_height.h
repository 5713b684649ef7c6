// The console panel's height in rows as the user left it, kept for the next start.
#pragma once

constexpr const char* kConsoleHeightFile = "console-lines.txt";

// The rows remembered in the user's configuration folder; kConsoleLines when none are, or the
// file holds no number in range.
int LoadConsoleRows();
// Writes rows whole (beside the file, then renamed over it); false when it could not.
bool SaveConsoleRows(int rows);
