// The input line's tag: where plain lines go while a private conversation is the active one, and
// how many typed lines still wait for the pace.
#include <cstdio>

#include "app/commands.h"
#include "app/command_interpreter.h"
#include "core/app_state.h"
#include "core/nick_colour.h"
#include "irc/session.h"
#include "platform/gui_window.h"

void KeepInputTag() {
  const char* nick = PrivateTarget();
  char tag[kWordLength + 48] = "";
  int from = 0, to = 0, used = 0;
  if (nick[0]) {
    from = std::snprintf(tag, sizeof tag, "[-> ");
    to = from + std::snprintf(tag + from, sizeof tag - from, "%.64s", nick);
    used = to + std::snprintf(tag + to, sizeof tag - to, "]");
  }
  // A long paste goes out one line every two seconds: the user sees it is still going, and
  // /drop stops it.
  SessionStatus status;
  CopySessionStatus(&status);
  if (status.linesWaiting > 0)
    std::snprintf(tag + used, sizeof tag - used, "%s%d line%s waiting", used ? " " : "", status.linesWaiting,
                  status.linesWaiting == 1 ? "" : "s");
  const NickRgb colour = NickColour(nick);
  SetInputTag(tag, from, to, colour.r, colour.g, colour.b);
}
