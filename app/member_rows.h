// The member list's rows: what it says of each member of the room, their order, and the turn
// that faces one.
#pragma once
#include <cstddef>

#include "core/nick_colour.h"
#include "core/room_view.h"

constexpr int kMemberNameLength = kRoomNickLength + 2;
constexpr int kMemberStateLength = kRoomElsewhereLength + 48;

struct MemberRow {
  int id;                          // the member's slot in the room's view
  char name[kMemberNameLength];    // the status mark ('@' or '+') and the nickname
  NickRgb colour;                  // the nickname's, as on its tag and in the console
  bool away;
  bool standing;                   // its figure stands in this room (directly or through the server)
  char state[kMemberStateLength];  // how it is here, and how far: "direct · 2.4 m"
};

// The row of a member drawn at `at` (where the room shows it), seen by the user standing at
// `user`: reached directly ("direct") or through the server ("through the server"), with the
// distance in metres to a tenth; "chat only" without a figure; "in #other" (or "elsewhere")
// for one whose user stands in another room.
void MakeMemberRow(const RoomMember& m, const PlayerPose& at, const PlayerPose& user, MemberRow* row);
// Operators first, voiced members next, then the others, each group by nickname as the server
// compares them.
void SortMemberRows(MemberRow* rows, int count);
// The list's heading: "#room · 3 others" ("1 other", "only you"); "Not in a channel" for "".
void FormatMemberListTitle(const char* channel, int others, char* out, std::size_t size);
// The heading (degrees, 0 looking along -z) that faces the point (x, z) from the pose: of the
// headings that do, the one nearest the pose's own, so that the turn is never more than half
// a circle. False when the point is where the pose stands.
bool HeadingToward(const PlayerPose& from, float x, float z, float* heading);
