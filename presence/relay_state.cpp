// The relay's rules: the move text both ways, when a member is relayed and owed our
// state, and which members are nearest. No clock, no lock, no I/O: the callers give the time.
#include "presence/relay_state.h"

#include <cmath>
#include <cstdio>
#include <cstring>

namespace {

constexpr char kMoveWord[] = "QIVRA-MOVE ";
constexpr float kPlaceLimit = 99999.0f;

bool Since(uint32_t now, uint32_t then, uint32_t ms) { return static_cast<uint32_t>(now - then) >= ms; }

// Folds an angle into -180..180: headings grow without bound while a user keeps turning, and
// only their direction matters to the avatar.
float Fold(float degrees) {
  float a = std::fmod(degrees, 360.0f);
  if (a >= 180.0f) a -= 360.0f;
  if (a < -180.0f) a += 360.0f;
  return a;
}

// "-12.34": an optional minus, 1 to maxWhole digits, then optionally '.' and 1 to maxPlaces
// digits; stops at the first other byte. False on anything else.
bool ReadFixed(const char** at, int maxWhole, int maxPlaces, double* value) {
  const char* p = *at;
  bool negative = *p == '-';
  if (negative) ++p;
  double v = 0;
  int whole = 0;
  for (; *p >= '0' && *p <= '9'; ++p, ++whole) {
    if (whole == maxWhole) return false;
    v = v * 10 + (*p - '0');
  }
  if (whole == 0) return false;
  if (*p == '.') {
    ++p;
    int places = 0;
    double unit = 0.1;
    for (; *p >= '0' && *p <= '9'; ++p, ++places, unit /= 10) {
      if (places == maxPlaces) return false;
      v += unit * (*p - '0');
    }
    if (places == 0) return false;
  }
  *value = negative ? -v : v;
  *at = p;
  return true;
}

}  // namespace

std::size_t FormatRelayMove(const RelayMove& move, char* out, std::size_t size) {
  const float values[4] = {move.x, move.z, move.yaw, move.pitch};
  for (float v : values)
    if (!std::isfinite(v)) return 0;
  if (std::fabs(move.x) >= kPlaceLimit || std::fabs(move.z) >= kPlaceLimit) return 0;
  char keys[kRelayKeyCount + 1];
  for (int k = 0; k < kRelayKeyCount; ++k) keys[k] = move.keys[kRelayKeyFirst + k] ? '1' : '0';
  keys[kRelayKeyCount] = '\0';
  int n = std::snprintf(out, size, "%s%s %.2f %.2f %.1f %.1f", kMoveWord, keys, move.x, move.z,
                        Fold(move.yaw), Fold(move.pitch));
  if (n <= 0 || static_cast<std::size_t>(n) >= size) return 0;
  return static_cast<std::size_t>(n);
}

bool ParseRelayMove(const char* text, RelayMove* move) {
  if (!text || text[0] != '\x01') return false;
  if (strnlen(text, kRelayMoveLength + 3) > kRelayMoveLength + 2) return false;
  const char* p = text + 1;
  if (std::strncmp(p, kMoveWord, sizeof kMoveWord - 1) != 0) return false;
  p += sizeof kMoveWord - 1;
  RelayMove m = {};
  for (int k = 0; k < kRelayKeyCount; ++k, ++p) {
    if (*p != '0' && *p != '1') return false;
    m.keys[kRelayKeyFirst + k] = *p == '1' ? 1 : 0;
  }
  double v[4];
  for (int i = 0; i < 4; ++i) {
    if (*p++ != ' ') return false;
    const bool place = i < 2;
    if (!ReadFixed(&p, place ? 5 : 3, place ? 2 : 1, &v[i])) return false;
    if (!place && std::fabs(v[i]) > 180.0) return false;
  }
  if (p[0] != '\x01' || p[1] != '\0') return false;
  m.x = static_cast<float>(v[0]);
  m.z = static_cast<float>(v[1]);
  m.yaw = static_cast<float>(v[2]);
  m.pitch = static_cast<float>(v[3]);
  *move = m;
  return true;
}

RelayChange UpdateRelay(RelayLink* r, bool noLink, bool directLink) {
  if (r->relayed && directLink) {
    r->relayed = r->shown = r->owed = 0;
    return RelayStopped;
  }
  if (r->relayed || !r->announced || !noLink || directLink) return RelayUnchanged;
  r->relayed = 1;
  r->owed = 1;  // the member learns at once where we stand
  return RelayStarted;
}

void MarkRelayOwed(RelayLink* r, bool keysChanged, bool moving, uint32_t now) {
  if (!r->relayed) return;
  if (keysChanged) r->owed = 1;
  if (moving && Since(now, r->sentMs, kRelayMovingMs)) r->owed = 1;
  if (Since(now, r->sentMs, kRelayStillMs)) r->owed = 1;
}

bool NoteFirstRelayMove(RelayLink* r) {
  if (r->shown) return false;
  r->shown = 1;
  r->owed = 1;
  return true;
}

int KeepNearest(RelayCandidate* c, int count, int limit) {
  int keep = count < limit ? count : limit;
  for (int i = 0; i < keep; ++i) {  // a partial selection sort: limit is small
    int best = i;
    for (int j = i + 1; j < count; ++j)
      if (c[j].distance2 < c[best].distance2) best = j;
    RelayCandidate t = c[i];
    c[i] = c[best];
    c[best] = t;
  }
  return keep;
}

bool NoteOwnKeys(RelayOwnKeys* own, const uint8_t keys[kKeyFlagCount]) {
  bool changed = false;
  for (int k = kRelayKeyFirst; k < kRelayKeyFirst + kRelayKeyCount; ++k) {
    uint8_t held = keys[k] ? 1 : 0;
    if (own->keys[k] != held) changed = true;
    own->keys[k] = held;
  }
  return changed;
}

bool AnyMoveKey(const uint8_t keys[kKeyFlagCount]) {
  for (int k = kRelayKeyFirst; k < kRelayKeyFirst + kRelayKeyCount; ++k)
    if (keys[k]) return true;
  return false;
}
