// The input line's editing keys: history, nickname completion and word editing, on the line's text.
#include <cstdio>
#include <cstring>

#include "app/line_editing.h"
#include "app/line_history.h"
#include "app/nick_completion.h"
#include "app/input_text.h"
#include "app/shell.h"
#include "core/app_state.h"
#include "platform/gui_window.h"
#include "scene/room_avatars.h"

namespace {

struct InputEditingRecord {
  LineHistory history;
  NickCompletion completion;
  const char* memberList[kRoomMembers];
};
InputEditingRecord Editing;

// Every member of the room's channel, QIVRA user or not; the count.
int GatherMembers() {
  for (int i = 0; i < RoomAvatars.count; ++i) Editing.memberList[i] = RoomAvatars.avatars[i].member.nick;
  return RoomAvatars.count;
}

}  // namespace

void RememberSentLine(const char* line) { HistoryRemember(&Editing.history, line); }

void OnInputEditKey(LineEditKey key) {
  char line[kInputLineBytes + 1];
  GetWidgetText(AppState.inputLine, line, sizeof line);
  int from = 0, cursor = 0;
  GetInputSelection(AppState.inputLine, &from, &cursor);
  if (from != cursor) cursor = from;  // a selection is left for its start
  const int length = static_cast<int>(std::strlen(line));
  switch (key) {
    case EditHistoryBack:
      if (!HistoryBack(&Editing.history, line, line, sizeof line)) return;
      cursor = static_cast<int>(std::strlen(line));
      break;
    case EditHistoryForward:
      if (!HistoryForward(&Editing.history, line, sizeof line)) return;
      cursor = static_cast<int>(std::strlen(line));
      break;
    case EditComplete:
      if (!CompleteNick(&Editing.completion, line, sizeof line, &cursor, Editing.memberList, GatherMembers()))
        return;
      break;
    case EditLineStart: cursor = 0; break;
    case EditLineEnd: cursor = length; break;
    case EditWordLeft: cursor = WordStartBefore(line, cursor); break;
    case EditWordRight: cursor = WordEndAfter(line, cursor); break;
    case EditDeleteWord: cursor = DeleteWordBefore(line, cursor); break;
    case EditDeleteToStart: cursor = DeleteToLineStart(line, cursor); break;
  }
  SetInputText(AppState.inputLine, line, cursor);
}
