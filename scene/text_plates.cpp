// The plates' texture: pictures from platform/pango_text.cpp packed in shelves, found by a hash
// of what they show.
#include "scene/text_plates.h"

#include <GL/gl.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/pango_text.h"

namespace {

const int kAtlasWidth = 2048, kAtlasHeight = 1024;
const int kEntries = 2048;  // a power of two, over the pictures one texture holds
const int kShelves = 128;
const TextRgb kPlateGrey{34, 36, 40};  // the console's background: the nickname colours read on it

struct Entry {
  uint64_t key;  // 0: free
  PlateCell cell;
};

// Pictures are packed in shelves, rows of one height each: a tag goes beside tags, a bubble of
// two rows beside bubbles of two rows, so little space goes unused.
struct Shelf {
  int x, y, height;
};

struct Atlas {
  unsigned int texture = 0;
  uint32_t generation = 1;
  Shelf shelves[kShelves];
  int shelfCount = 0, top = 0;  // top: the first row no shelf holds
  int count = 0;
  Entry entries[kEntries];
};
Atlas atlas;

uint64_t Mix(uint64_t hash, const void* bytes, std::size_t size) {
  const unsigned char* p = static_cast<const unsigned char*>(bytes);
  for (std::size_t i = 0; i < size; ++i) {
    hash ^= p[i];
    hash *= 1099511628211ull;  // FNV-1a, 64 bits
  }
  return hash;
}

uint64_t KeyOf(PlateKind kind, const char* text, char status, bool away, NickRgb colour, const char* where) {
  const unsigned char head[6] = {static_cast<unsigned char>(kind), static_cast<unsigned char>(status), away,
                                 colour.r, colour.g, colour.b};
  uint64_t key = Mix(14695981039346656037ull, head, sizeof head);
  if (kind != PlateTyping) key = Mix(key, text, std::strlen(text) + 1);  // the zero parts it from where
  if (kind == PlateTagElsewhere) key = Mix(key, where, std::strlen(where));
  return key ? key : 1;
}

void Empty() {
  std::memset(atlas.entries, 0, sizeof atlas.entries);
  atlas.shelfCount = atlas.top = atlas.count = 0;
  ++atlas.generation;
}

bool MakeTexture() {
  glGenTextures(1, &atlas.texture);
  if (atlas.texture == 0) return false;
  glPushAttrib(GL_TEXTURE_BIT);
  glBindTexture(GL_TEXTURE_2D, atlas.texture);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  // To the edge: Mesa's llvmpipe samples that in 8-bit fixed point, where GL_CLAMP's border
  // colour sends every sample down its floating-point path. The edge itself never shows: each
  // picture keeps a pixel of clear space round it.
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, kAtlasWidth, kAtlasHeight, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
  glPopAttrib();
  return true;
}

// Where a picture of w x h goes, a pixel of clear space kept around it: on a shelf as high as
// it or a little higher, else on a new shelf; false when full.
bool Place(int w, int h, int* x, int* y) {
  w += 2, h += 2;
  if (w > kAtlasWidth || h > kAtlasHeight) return false;
  for (int i = 0; i < atlas.shelfCount; ++i) {
    Shelf& shelf = atlas.shelves[i];
    if (shelf.height < h || shelf.height > h + h / 4 + 2 || shelf.x + w > kAtlasWidth) continue;
    *x = shelf.x + 1, *y = shelf.y + 1;
    shelf.x += w;
    return true;
  }
  if (atlas.shelfCount == kShelves || atlas.top + h > kAtlasHeight) return false;
  atlas.shelves[atlas.shelfCount++] = Shelf{w, atlas.top, h};
  *x = 1, *y = atlas.top + 1;
  atlas.top += h;
  return true;
}

TextPlateStyle StyleOf(PlateKind kind, NickRgb colour) {
  const TextRgb nick{colour.r, colour.g, colour.b};
  switch (kind) {
    // A tag is opaque to its edges: tags hide each other, so a crowd draws only the pixels seen.
    case PlateTag: return {16, true, false, nick, kPlateGrey, 255, {80, 82, 90}, 2, 400, 1, false, 0};
    // One standing elsewhere: the name faded halfway into the plate, upright no more.
    case PlateTagElsewhere: {
      const TextRgb faded{static_cast<unsigned char>((colour.r + kPlateGrey.r) / 2),
                          static_cast<unsigned char>((colour.g + kPlateGrey.g) / 2),
                          static_cast<unsigned char>((colour.b + kPlateGrey.b) / 2)};
      return {16, false, true, faded, kPlateGrey, 255, {80, 82, 90}, 2, 400, 1, false, 0};
    }
    // Opaque too: a bubble in front hides those behind it (scene/room_labels.cpp draws it so).
    case PlateTyping: return {14, true, false, nick, kPlateGrey, 255, nick, 3, 100, 1, true, 5};
    default: return {15, false, kind == PlateAction, nick, kPlateGrey, 255, nick, 5, 240, 3, true, 7};
  }
}

// The picture's text: a tag gets its status before the name and "away" after it, in grey, and
// one of a member elsewhere where it stands after that.
unsigned char* Draw(PlateKind kind, const char* text, char status, bool away, NickRgb colour, const char* where,
                    int* w, int* h) {
  char shown[600];
  TextSpan span{0, 0, {160, 162, 170}, false};
  int spans = 0;
  int length = 0;
  if (kind == PlateTyping) {
    length = std::snprintf(shown, sizeof shown, "\xE2\x80\xA2\xE2\x80\xA2\xE2\x80\xA2");  // three bullets
  } else if (kind == PlateTag || kind == PlateTagElsewhere) {
    const char mark[2] = {status == '@' || status == '+' ? status : '\0', '\0'};
    length = std::snprintf(shown, sizeof shown, "%s%s", mark, text);
    span.from = length < static_cast<int>(sizeof shown) ? length : static_cast<int>(sizeof shown) - 1;
    if (away && length < static_cast<int>(sizeof shown))
      length += std::snprintf(shown + length, sizeof shown - length, " (away)");
    if (kind == PlateTagElsewhere && length < static_cast<int>(sizeof shown))
      length += where[0] ? std::snprintf(shown + length, sizeof shown - length, " \xC2\xB7 in %s", where)
                         : std::snprintf(shown + length, sizeof shown - length, " \xC2\xB7 elsewhere");
    span.to = length;
    spans = span.to > span.from ? 1 : 0;
  } else {
    length = std::snprintf(shown, sizeof shown, "%s", text);
  }
  if (length >= static_cast<int>(sizeof shown)) length = static_cast<int>(sizeof shown) - 1;
  if (span.to > length) span.to = length;
  return DrawTextPlate(shown, length, StyleOf(kind, colour), spans ? &span : nullptr, spans, w, h);
}

}  // namespace

bool TakePlate(PlateKind kind, const char* text, char status, bool away, NickRgb colour, PlateCell* cell,
               const char* where) {
  if (!text) text = "";
  if (!where) where = "";
  const uint64_t key = KeyOf(kind, text, status, away, colour, where);
  unsigned slot = static_cast<unsigned>(key) & (kEntries - 1);
  for (; atlas.entries[slot].key != 0; slot = (slot + 1) & (kEntries - 1))
    if (atlas.entries[slot].key == key) {
      *cell = atlas.entries[slot].cell;
      return true;
    }
  if (atlas.texture == 0 && !MakeTexture()) return false;
  int w = 0, h = 0;
  unsigned char* pixels = Draw(kind, text, status, away, colour, where, &w, &h);
  if (!pixels) return false;
  int x = 0, y = 0;
  // A full texture (or table: kept under three quarters, so probes stay short) starts afresh.
  if (atlas.count >= kEntries * 3 / 4 || !Place(w, h, &x, &y)) {
    Empty();
    slot = static_cast<unsigned>(key) & (kEntries - 1);
    if (!Place(w, h, &x, &y)) {
      std::free(pixels);
      return false;
    }
  }
  // Rows go in bottom-up, as OpenGL counts them: the picture's top row lands highest.
  const std::size_t stride = static_cast<std::size_t>(w) * 4;
  for (int top = 0, bottom = h - 1; top < bottom; ++top, --bottom)
    for (std::size_t i = 0; i < stride; ++i) {
      unsigned char swap = pixels[top * stride + i];
      pixels[top * stride + i] = pixels[bottom * stride + i];
      pixels[bottom * stride + i] = swap;
    }
  glPushAttrib(GL_TEXTURE_BIT);
  glPushClientAttrib(GL_CLIENT_PIXEL_STORE_BIT);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  glBindTexture(GL_TEXTURE_2D, atlas.texture);
  glTexSubImage2D(GL_TEXTURE_2D, 0, x, y, w, h, GL_RGBA, GL_UNSIGNED_BYTE, pixels);
  glPopClientAttrib();
  glPopAttrib();
  std::free(pixels);
  const float across = static_cast<float>(kAtlasWidth), up = static_cast<float>(kAtlasHeight);
  Entry& entry = atlas.entries[slot];
  entry.key = key;
  entry.cell = PlateCell{x / across, y / up, (x + w) / across, (y + h) / up, w, h};
  ++atlas.count;
  *cell = entry.cell;
  return true;
}

uint32_t PlateGeneration() { return atlas.generation; }
unsigned int PlateTexture() { return atlas.texture; }

void ForgetPlates() {
  atlas.texture = 0;
  Empty();
}

void FreePlates() {
  if (atlas.texture != 0) glDeleteTextures(1, &atlas.texture);
  ForgetPlates();
}
