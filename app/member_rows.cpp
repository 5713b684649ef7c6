// The member list's words and order, and the heading that faces a member.
#include "app/member_rows.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "core/irc_case.h"

namespace {

const float kDegreesPerRadian = 57.2957795f;

int StatusRank(const MemberRow& row) { return row.name[0] == '@' ? 0 : row.name[0] == '+' ? 1 : 2; }

const char* Nick(const MemberRow& row) { return row.name + (StatusRank(row) < 2 ? 1 : 0); }

}  // namespace

void MakeMemberRow(const RoomMember& m, const PlayerPose& at, const PlayerPose& user, MemberRow* row) {
  std::memset(row, 0, sizeof *row);
  row->id = m.id;
  const char mark[2] = {m.status == '@' || m.status == '+' ? m.status : '\0', '\0'};
  std::snprintf(row->name, sizeof row->name, "%s%.*s", mark, kRoomNickLength - 1, m.nick);
  row->colour = NickColour(m.nick);
  row->away = m.away;
  row->standing = m.reach != ReachNone && !m.elsewhere;
  if (m.reach == ReachNone) {
    std::snprintf(row->state, sizeof row->state, "chat only");
  } else if (m.elsewhere) {
    if (m.elsewhereIn[0])
      std::snprintf(row->state, sizeof row->state, "in %.*s", kRoomElsewhereLength - 1, m.elsewhereIn);
    else
      std::snprintf(row->state, sizeof row->state, "elsewhere");
  } else {
    const float distance = std::hypot(at.x - user.x, at.z - user.z);
    std::snprintf(row->state, sizeof row->state, "%s \xC2\xB7 %.1f m",
                  m.reach == ReachDirect ? "direct" : "through the server", static_cast<double>(distance));
  }
}

void SortMemberRows(MemberRow* rows, int count) {
  std::stable_sort(rows, rows + count, [](const MemberRow& a, const MemberRow& b) {
    if (StatusRank(a) != StatusRank(b)) return StatusRank(a) < StatusRank(b);
    return CompareIrcNames(Nick(a), Nick(b)) < 0;
  });
}

void FormatMemberListTitle(const char* channel, int others, char* out, std::size_t size) {
  if (!out || size == 0) return;
  if (!channel || !channel[0])
    std::snprintf(out, size, "Not in a channel");
  else if (others <= 0)
    std::snprintf(out, size, "%s \xC2\xB7 only you", channel);
  else
    std::snprintf(out, size, "%s \xC2\xB7 %d other%s", channel, others, others == 1 ? "" : "s");
}

bool HeadingToward(const PlayerPose& from, float x, float z, float* heading) {
  const float dx = x - from.x, dz = z - from.z;
  if (std::fabs(dx) < 1e-4f && std::fabs(dz) < 1e-4f) return false;
  // A step along heading h goes by (-sin h, -cos h) (scene/movement.cpp).
  const float facing = std::atan2(-dx, -dz) * kDegreesPerRadian;
  *heading = from.heading + std::remainder(facing - from.heading, 360.0f);
  return true;
}
