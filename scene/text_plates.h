// Name tags, speech bubbles and typing marks as pictures in one texture: each is drawn with
// Pango once per text, status and colour, and kept until the texture is full.
#pragma once
#include <cstdint>

#include "core/nick_colour.h"

enum PlateKind { PlateTag, PlateSpeech, PlateAction, PlateTyping, PlateTagElsewhere };

struct PlateCell {
  float s0, t0, s1, t1;  // the picture's corners in the texture (t0 its bottom)
  int width, height;     // its pixels
};

// The picture of a tag (text: the nickname; status '@', '+' or 0; away), a bubble of speech or
// an action (text: the line, for an action with the nickname before it), or a typing mark
// (text unused), in the member's colour: found, or drawn now into the texture. False when it
// cannot be made; a texture that filled up is emptied first, so cells taken before are gone
// (PlateGeneration tells). The tag of a member whose user stands in another room is greyed and
// says where: in `where` (that room's channel), or "elsewhere" for "".
bool TakePlate(PlateKind kind, const char* text, char status, bool away, NickRgb colour, PlateCell* cell,
               const char* where = "");
uint32_t PlateGeneration();
unsigned int PlateTexture();  // 0 until the first plate
// A new context: the old texture's name means nothing in it.
void ForgetPlates();
void FreePlates();  // deletes the texture in the current context
