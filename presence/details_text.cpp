// Reading and writing QIVRA's own CTCP: the announcement and the details.
#include "presence/details_text.h"

#include <cstdio>
#include <cstring>

const char kQivraAnnouncement[] = "\x01QIVRA\x01";

namespace {

constexpr char kPrefix[] = "\x01QIVRA";
constexpr std::size_t kPrefixLength = sizeof kPrefix - 1;
constexpr std::size_t kLongestText = 1024;  // no line carries more

bool Is(const char* word, std::size_t length, const char* name) {
  return std::strlen(name) == length && std::memcmp(word, name, length) == 0;
}

bool HasPrefix(const char* word, std::size_t length, const char* prefix, std::size_t* valueAt) {
  const std::size_t n = std::strlen(prefix);
  if (length < n || std::memcmp(word, prefix, n) != 0) return false;
  *valueAt = n;
  return true;
}

// A word of the details: flags, the key, the look, an address.
void TakeWord(const char* word, std::size_t length, QivraDetails* d) {
  std::size_t at = 0;
  if (Is(word, length, "ask")) {
    d->ask = true;
  } else if (Is(word, length, "relay")) {
    d->relay = true;
  } else if (Is(word, length, "rooms")) {
    d->rooms = true;
  } else if (Is(word, length, "aes")) {
    d->fast = true;
  } else if (HasPrefix(word, length, "key=", &at)) {
    d->hasKey = ParseSealKeyText(word + at, static_cast<int>(length - at), d->key) == 1 || d->hasKey;
  } else if (HasPrefix(word, length, "look=", &at)) {
    if (length - at == 1 && word[at] >= '1' && word[at] <= '8') d->look = static_cast<uint8_t>(word[at] - '0');
  } else if (HasPrefix(word, length, "at=", &at)) {
    const std::size_t n = length - at;
    if (n == 0 || n >= static_cast<std::size_t>(kDetailAddressLength) || d->addressCount >= kDetailAddresses) return;
    for (std::size_t i = at; i < length; ++i)
      if (static_cast<unsigned char>(word[i]) <= ' ' || word[i] == '\x7f') return;  // no address or name has these
    std::memcpy(d->addresses[d->addressCount], word + at, n);
    d->addresses[d->addressCount][n] = '\0';
    ++d->addressCount;
  }
}

bool Append(char* out, std::size_t size, std::size_t* used, const char* text) {
  const std::size_t n = std::strlen(text);
  if (*used + n + 1 > size) return false;
  std::memcpy(out + *used, text, n + 1);
  *used += n;
  return true;
}

}  // namespace

QivraTextKind ReadQivraText(const char* text, QivraDetails* d) {
  std::memset(d, 0, sizeof *d);
  if (!text || std::strncmp(text, kPrefix, kPrefixLength) != 0) return QivraTextNone;
  const char* rest = text + kPrefixLength;
  if (std::strcmp(rest, "\x01") == 0) return QivraTextAnnouncement;
  if (rest[0] != ' ') return rest[0] == '\0' ? QivraTextMalformed : QivraTextNone;  // "QIVRA-MOVE", ...
  const std::size_t length = strnlen(rest, kLongestText + 1);
  if (length > kLongestText || length < 2 || rest[length - 1] != '\x01') return QivraTextMalformed;
  for (std::size_t i = 0; i + 1 < length;) {
    if (rest[i] == ' ') {
      ++i;
      continue;
    }
    std::size_t end = i;
    while (end + 1 < length && rest[end] != ' ') ++end;
    TakeWord(rest + i, end - i, d);
    i = end;
  }
  return QivraTextDetails;
}

std::size_t FormatQivraDetails(const QivraDetails& d, char* out, std::size_t size) {
  std::size_t used = 0;
  if (size == 0) return 0;
  out[0] = '\0';
  bool fits = Append(out, size, &used, kPrefix);
  if (d.ask) fits = fits && Append(out, size, &used, " ask");
  if (d.relay) fits = fits && Append(out, size, &used, " relay");
  if (d.rooms) fits = fits && Append(out, size, &used, " rooms");
  if (d.hasKey) {
    char key[kSealKeyTextLength + 1];
    FormatSealKeyText(d.key, key);
    fits = fits && Append(out, size, &used, " key=") && Append(out, size, &used, key);
  }
  if (d.fast) fits = fits && Append(out, size, &used, " aes");
  if (d.look >= 1 && d.look <= 8) {
    char look[16];
    std::snprintf(look, sizeof look, " look=%d", d.look);
    fits = fits && Append(out, size, &used, look);
  }
  for (int i = 0; i < d.addressCount && i < kDetailAddresses; ++i) {
    if (!d.addresses[i][0] || std::strchr(d.addresses[i], ' ')) continue;  // nothing a reader could take
    fits = fits && Append(out, size, &used, " at=") && Append(out, size, &used, d.addresses[i]);
  }
  // Details with no word at all still differ from the announcement.
  if (used == kPrefixLength) fits = fits && Append(out, size, &used, " ");
  fits = fits && Append(out, size, &used, "\x01");
  if (!fits) {
    out[0] = '\0';
    return 0;
  }
  return used;
}
