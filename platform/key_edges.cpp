// Counting key presses from press and release events, with repeats left out; keys held as typing begins.
#include "platform/key_edges.h"

#include <cstring>

static bool Valid(PressedKey key) { return key >= 0 && key < kPressedKeyCount; }

constexpr int kMostPresses = 4;  // a burst of taps between two passes is not worth more

void NoteKeyDown(KeyEdges* edges, PressedKey key) {
  if (!Valid(key) || edges->down[key]) return;
  edges->down[key] = true;
  if (edges->presses[key] < kMostPresses) ++edges->presses[key];
}

void NoteKeyClaimed(KeyEdges* edges, PressedKey key) {
  if (Valid(key)) edges->down[key] = true;
}

void NoteKeyUp(KeyEdges* edges, PressedKey key) {
  if (Valid(key)) edges->down[key] = false;
}

void NoteKeySampled(KeyEdges* edges, PressedKey key, bool held) {
  if (Valid(key) && !held) edges->down[key] = false;
}

bool TakePress(KeyEdges* edges, PressedKey key) {
  if (!Valid(key) || edges->presses[key] == 0) return false;
  --edges->presses[key];
  return true;
}

bool PressWaiting(const KeyEdges* edges, PressedKey key) {
  return Valid(key) && edges->presses[key] > 0;
}

void ForgetPresses(KeyEdges* edges) {
  for (int& count : edges->presses) count = 0;
}

static bool ValidCode(int code) { return code > 0 && code < 256; }

static void ClearCode(unsigned char* codes, int code) {
  if (ValidCode(code)) codes[code >> 3] &= static_cast<unsigned char>(~(1u << (code & 7)));
}

void NoteHeldAtTyping(HeldAtTyping* held, const KeysDown& down) {
  std::memcpy(held->codes, down.codes, sizeof held->codes);
}

void NoteKeyCodeDown(KeysDown* down, int code) {
  if (ValidCode(code)) down->codes[code >> 3] |= static_cast<unsigned char>(1u << (code & 7));
}

void NoteKeyCodeUp(KeysDown* down, int code) { ClearCode(down->codes, code); }

void ForgetKeysDown(KeysDown* down) { std::memset(down->codes, 0, sizeof down->codes); }

void NoteHeldKeyUp(HeldAtTyping* held, int code) { ClearCode(held->codes, code); }

bool HeldSinceTyping(const HeldAtTyping* held, int code) {
  return ValidCode(code) && (held->codes[code >> 3] & (1u << (code & 7))) != 0;
}

void ForgetHeldAtTyping(HeldAtTyping* held) { std::memset(held->codes, 0, sizeof held->codes); }
