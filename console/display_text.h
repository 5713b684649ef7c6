// Text as the console shows it: no formatting codes, always UTF-8.
#pragma once
#include <cstddef>

// Copies text into out (at most size - 1 bytes and a NUL) with the formatting codes of chat
// clients removed (bold, colour with its numbers, hex colour, reverse, italic, underline,
// strike, monospace, reset); a tab becomes a blank. Text that is not valid UTF-8 is read as
// Latin-1 and written as UTF-8. Never cuts a character in two.
void MakeDisplayText(const char* text, char* out, std::size_t size);
bool IsValidUtf8(const char* text);
// The length of text's longest start that fits limit bytes without cutting a UTF-8 character.
std::size_t Utf8Prefix(const char* text, std::size_t length, std::size_t limit);
