// Over each avatar in view: its name tag just above the head, a typing mark while its user
// types, and its last line as a speech bubble; all facing the viewer, so never mirrored, and
// drawn in one batch before the room (and a second for speech that fades, after it).
#pragma once
#include <cstdint>

#include "core/room_view.h"

struct LabelAnchor {
  float x, y, z;  // the top of the head
  const RoomMember* member;
};

// Lays out the labels of these members for this frame, with the speech shown at nowMs: which
// show, and what of each the others hide. Needs the view's matrices and viewport as the frame
// set them.
void PrepareRoomLabels(const LabelAnchor* anchors, int count, uint32_t nowMs);
// The labels shown whole (every tag, and speech not fading), first in the frame: they write
// depth, so walls and avatars in front of them draw over them, and what lies behind them is
// never textured there.
void DrawSolidLabels();
// Speech that fades, last in the frame: it blends over what lies behind it.
void DrawFadingLabels();
// The part of an upright quad (corners bottom left, bottom right, top right, top left, in the
// room) that no solid label hides, as fractions of its width and height; false when all of it
// is hidden. The whole quad while the view does not look level.
bool UnhiddenPart(const float corners[4][3], float* left, float* bottom, float* right, float* top);

// On screen a tag's text is never smaller than this many pixels, however far its member stands.
constexpr float kSmallestTagPixels = 12.0f;
