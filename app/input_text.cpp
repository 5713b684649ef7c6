// Pastes placed in the input line, pasted text split into lines, and long chat text into messages.
#include "app/input_text.h"

#include <cstring>

namespace {

// The bytes of a line break or NUL never reach a line: breaks become LF, NUL goes.
std::size_t NormalizeBreaks(const char* text, std::size_t length, char* out, std::size_t size) {
  std::size_t used = 0;
  for (std::size_t i = 0; i < length && used < size; ++i) {
    char c = text[i];
    if (c == '\0') continue;
    if (c == '\r') {
      if (i + 1 < length && text[i + 1] == '\n') ++i;
      c = '\n';
    }
    out[used++] = c;
  }
  return used;
}

bool IsContinuationByte(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

// A cut at n must not split a UTF-8 character: back to its first byte.
std::size_t CharacterBoundary(const char* text, std::size_t n) {
  std::size_t cut = n;
  while (cut > 0 && IsContinuationByte(text[cut])) --cut;
  return cut > 0 ? cut : n;
}

// Where PlacePaste gathers the line and the rest (window's thread): 24 KB, kept off the stack.
char Scratch[kPasteHold + 2 * (kInputLineBytes + 1)];

}  // namespace

int PlacePaste(char* line, char* rest, int from, int to, const char* pasted, std::size_t length,
               std::size_t* lost) {
  std::size_t lineLength = strnlen(line, kInputLineBytes);
  std::size_t restLength = strnlen(rest, kPasteHold);
  std::size_t a = from < 0 ? 0 : static_cast<std::size_t>(from);
  std::size_t b = to < from ? a : static_cast<std::size_t>(to);
  if (a > lineLength) a = lineLength;
  if (b > lineLength) b = lineLength;
  const std::size_t capacity = kPasteHold + kInputLineBytes;  // line and rest together

  // Scratch = line before the selection, the paste, line after it, the waiting rest.
  std::size_t used = 0;
  std::memcpy(Scratch, line, a);
  used += a;
  std::size_t wanted = 0;  // the paste's bytes after normalising, also those beyond the room
  for (std::size_t i = 0; i < length; ++i)
    if (pasted[i] != '\0' && !(pasted[i] == '\r' && i + 1 < length && pasted[i + 1] == '\n')) ++wanted;
  std::size_t tail = (lineLength - b) + restLength;
  std::size_t room = capacity > used + tail ? capacity - used - tail : 0;
  std::size_t taken = NormalizeBreaks(pasted, length, Scratch + used, wanted < room ? wanted : room);
  used += taken;
  *lost = wanted - taken;
  std::size_t cursor = used;
  std::memcpy(Scratch + used, line + b, lineLength - b);
  used += lineLength - b;
  std::memcpy(Scratch + used, rest, restLength);
  used += restLength;

  std::size_t keep = used <= kInputLineBytes ? used : CharacterBoundary(Scratch, kInputLineBytes);
  if (used - keep > kPasteHold) {  // a rest that was full already: its end gives way
    *lost += used - keep - kPasteHold;
    used = keep + kPasteHold;
  }
  std::memcpy(line, Scratch, keep);
  line[keep] = '\0';
  std::memcpy(rest, Scratch + keep, used - keep);
  rest[used - keep] = '\0';
  return static_cast<int>(cursor < keep ? cursor : keep);
}

void ForEachInputLine(const char* text, void (*take)(const char* line)) {
  char piece[kLongestInputLine + 1];
  while (*text) {
    std::size_t length = std::strcspn(text, "\r\n");
    const char* end = text + length;
    std::size_t done = 0;
    while (done < length) {
      std::size_t next = 0;
      std::size_t n = NextMessagePiece(text + done, length - done, kLongestInputLine, &next);
      std::memcpy(piece, text + done, n);
      piece[n] = '\0';
      if (n > 0) take(piece);
      done += next;
    }
    text = end;
    while (*text == '\r' || *text == '\n') ++text;
  }
}

std::size_t MessageTextRoom(const char* target, const char* nick, std::size_t framing) {
  const std::size_t kLine = 512 - 2;  // the line end
  // ":" "!" user "@" host " ": the longest user name a server shows is ngircd's (19 characters
  // with its "~"), the longest host InspIRCd's (64).
  const std::size_t kPrefixBeyondNick = 1 + 1 + 20 + 1 + 64 + 1;
  std::size_t used = kPrefixBeyondNick + strnlen(nick, 512) + std::strlen("PRIVMSG ") +
                     strnlen(target, 512) + std::strlen(" :") + framing;
  const std::size_t kLeast = 64;  // absurd names must still leave room for some text
  return used + kLeast < kLine ? kLine - used : kLeast;
}

std::size_t NextMessagePiece(const char* text, std::size_t length, std::size_t room, std::size_t* next) {
  if (room == 0) room = 1;
  if (length <= room) {
    *next = length;
    return length;
  }
  for (std::size_t i = room; i > 0; --i) {
    if (text[i] != ' ') continue;
    // The word after the blank must fit a piece of its own; one longer than any piece is cut
    // anyway, so this piece is filled up to the room instead of ending short before it.
    std::size_t word = 0;
    while (i + 1 + word < length && text[i + 1 + word] != ' ') ++word;
    if (word > room) break;
    *next = i + 1;
    return i;
  }
  std::size_t cut = CharacterBoundary(text, room);
  *next = cut;
  return cut;
}
