// Over each avatar in view: its name tag just above the head, a typing mark while its user
// types, and its last line as a speech bubble; all facing the viewer, so never mirrored.
#pragma once
#include <cstdint>

#include "core/room_view.h"

struct LabelAnchor {
  float x, y, z;  // the top of the head
  const RoomMember* member;
};

// Draws the labels of these members (after the room and the avatars: they are depth-tested
// against them) in one batch, farthest first, with the speech shown at nowMs. Needs the view's
// matrices and viewport as the frame set them.
void DrawRoomLabels(const LabelAnchor* anchors, int count, uint32_t nowMs);

// On screen a tag's text is never smaller than this many pixels, however far its member stands.
constexpr float kSmallestTagPixels = 12.0f;
