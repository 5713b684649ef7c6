// While a private conversation is the active one the input line shows where plain lines go.
#include <cstdio>

#include "app/commands.h"
#include "app/command_interpreter.h"
#include "core/app_state.h"
#include "core/nick_colour.h"
#include "platform/gui_window.h"

void KeepPrivateTarget() {
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
