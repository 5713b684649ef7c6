// Typed and pasted text made into lines, and chat text cut to the size of IRC messages.
#pragma once
#include <cstddef>

constexpr std::size_t kInputLineBytes = 4096;   // what the input line holds
constexpr std::size_t kPasteHold = 16384;       // the rest of a paste waiting beyond the line
// A longer line (of a paste) is handed on in pieces; a typed line always goes whole, so that a
// long "/msg nick ..." stays one command.
constexpr std::size_t kLongestInputLine = kInputLineBytes;

// A paste into the input line in place of the selection [from, to). Line breaks (CR LF, CR,
// LF) become LF and NUL bytes are dropped. The line (kInputLineBytes + 1 bytes) keeps what
// fits; the rest goes to the front of rest (kPasteHold + 1 bytes), before what waited there,
// so that line followed by rest is the whole text in order. Returns the cursor, just after
// the paste or at the line's end; *lost counts the bytes beyond kPasteHold, dropped.
int PlacePaste(char* line, char* rest, int from, int to, const char* pasted, std::size_t length,
               std::size_t* lost);

// Hands each line of text (between line breaks) to take in order; empty lines are skipped,
// and a line longer than kLongestInputLine goes as several, broken at blanks.
void ForEachInputLine(const char* text, void (*take)(const char* line));

// The bytes of text that one PRIVMSG to target can carry: 512 less its line end, the command
// and target, the prefix the server puts before it when passing it on (the nickname, a user
// name of up to 20 and a host of up to 64), and framing (an action's \x01ACTION and \x01).
std::size_t MessageTextRoom(const char* target, const char* nick, std::size_t framing);

// The length of the next piece of text (length bytes left) that fits room: up to the last
// blank that lets it fit, or room bytes (never inside a UTF-8 character) when no blank does or
// the word after that blank is longer than a piece itself.
// *next is where the following piece begins: the blank the break was made at is left out.
std::size_t NextMessagePiece(const char* text, std::size_t length, std::size_t room, std::size_t* next);
