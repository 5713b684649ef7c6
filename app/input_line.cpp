// The input line's text on its way to the interpreter: pastes, the rest of a long paste, Enter.
#include <cstdio>
#include <cstring>

#include "app/input_text.h"
#include "app/command_interpreter.h"
#include "app/shell.h"
#include "core/app_state.h"
#include "console/console_log.h"
#include "platform/gui_window.h"

namespace {

// The input line's text beyond what it shows, on the window's thread: written by pastes and
// taken by Enter.
struct InputLineRecord {
  char pasteRest[kPasteHold + 1];  // what a paste brought beyond the bytes the line holds
  char whole[kInputLineBytes + kPasteHold + 1];  // the line and that rest, as Enter sends them: 20 KB
};
InputLineRecord Input;

}  // namespace

void OnInputPaste(const char* text, int length) {
  if (!AppState.inputLine || !text || length <= 0) return;
  char line[kInputLineBytes + 1];
  GetWidgetText(AppState.inputLine, line, sizeof line);
  int from = 0, to = 0;
  GetInputSelection(AppState.inputLine, &from, &to);
  std::size_t restBefore = std::strlen(Input.pasteRest);
  std::size_t lost = 0;
  int cursor = PlacePaste(line, Input.pasteRest, from, to, text, static_cast<std::size_t>(length), &lost);
  SetInputText(AppState.inputLine, line, cursor);
  char notice[160];
  std::size_t rest = std::strlen(Input.pasteRest);
  if (lost > 0) {
    std::snprintf(notice, sizeof notice, "The paste was too long: its last %zu bytes were dropped.", lost);
    ConsoleAppend(notice);
  } else if (rest > restBefore) {
    std::snprintf(notice, sizeof notice,
                  "The paste goes on beyond the input line (%zu more bytes): Enter sends all of it.", rest);
    ConsoleAppend(notice);
  }
}

void OnInputFull() {
  char notice[96];
  std::snprintf(notice, sizeof notice, "The input line is full (%zu bytes): press Enter to send it.", kInputLineBytes);
  ConsoleAppend(notice);
}

// Enter: the line and any rest of a paste go to the interpreter, one line at a time.
void SubmitInputLine() {
  char* whole = Input.whole;
  int length = GetWidgetText(AppState.inputLine, whole, kInputLineBytes + 1);
  std::size_t rest = std::strlen(Input.pasteRest);
  if (length == 0) {  // an emptied line takes the rest of its paste with it
    if (rest > 0) {
      char notice[128];
      std::snprintf(notice, sizeof notice, "The rest of the paste (%zu bytes) was dropped with the emptied line.",
                    rest);
      ConsoleAppend(notice);
      Input.pasteRest[0] = '\0';
    }
    return;
  }
  RememberSentLine(whole);
  std::memcpy(whole + length, Input.pasteRest, rest + 1);
  Input.pasteRest[0] = '\0';
  SetWidgetText(AppState.inputLine, "");
  ForEachInputLine(whole, ProcessInputLine);
}
