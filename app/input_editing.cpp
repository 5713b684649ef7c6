// The input line's editing keys: history, nickname completion and word editing, on the line's text.
#include <cstdio>
#include <cstring>

#include "app/line_editing.h"
#include "app/line_history.h"
#include "app/nick_completion.h"
#include "app/input_text.h"
#include "app/shell.h"
#include "core/app_state.h"
#include "irc/irc_client.h"
#include "platform/gui_window.h"

namespace {

constexpr int kMemberNickBytes = 128;  // longer nicknames are not offered

struct InputEditingRecord {
  LineHistory history;
  NickCompletion completion;
  char members[kPeerSlots][kMemberNickBytes];
  const char* memberList[kPeerSlots];
};
InputEditingRecord Editing;

// Every known member of the channel, QIVRA user or not; the count.
int GatherMembers() {
  int count = 0;
  PeerTable& table = Irc.peerTable;
  table.Lock();
  for (int slot = 1; slot < kPeerSlots; ++slot) {
    const PeerSlot& peer = table.slots[slot];
    if (!peer.known || strnlen(peer.nick, kMemberNickBytes) >= kMemberNickBytes) continue;
    std::snprintf(Editing.members[count], kMemberNickBytes, "%s", peer.nick);
    Editing.memberList[count] = Editing.members[count];
    ++count;
  }
  table.Unlock();
  return count;
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
