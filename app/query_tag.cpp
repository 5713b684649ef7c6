// While "/query nick" is open the input line shows where plain lines go; the query ends with the connection.
#include <cstdio>

#include "app/added_commands.h"
#include "app/command_interpreter.h"
#include "core/app_state.h"
#include "core/nick_colour.h"
#include "platform/gui_window.h"

namespace {

ConnectionState LastState = Offline;  // main thread: the connection as the last pass saw it

}  // namespace

// A query lasts while the connection and the channel it was made in do: going offline ends
// it, and so does leaving the channel for another server.
void KeepPrivateTarget() {
  const ConnectionState now = AppState.connectionState;
  if (now != LastState && (now == Offline || LastState == InChannel)) EndQuery();
  LastState = now;
  const char* nick = PrivateTarget();
  char tag[kWordLength + 8] = "";
  int from = 0, to = 0;
  if (nick[0]) {
    from = std::snprintf(tag, sizeof tag, "[-> ");
    to = from + std::snprintf(tag + from, sizeof tag - from, "%.64s", nick);
    std::snprintf(tag + to, sizeof tag - to, "]");
  }
  const NickRgb colour = NickColour(nick);
  SetInputTag(tag, from, to, colour.r, colour.g, colour.b);
}
