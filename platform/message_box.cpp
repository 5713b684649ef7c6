// Message boxes of our own (FLTK's have no stop icon), or answered at once for tests.
#include "platform/message_box.h"
#include "platform/stop_signals.h"
#include "platform/x11_errors.h"

#include <FL/Fl.H>
#include <FL/Fl_Box.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Return_Button.H>
#include <FL/Fl_Window.H>
#include <FL/fl_draw.H>
#include <FL/x.H>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

void NoticeStop(FL_SOCKET, void*) {}  // Fl::wait returns once it has run

const char* IconName(BoxIcon icon) {
  switch (icon) {
    case BoxIconInformation: return "information";
    case BoxIconExclamation: return "exclamation";
    case BoxIconStop: return "stop";
    case BoxIconQuestion: return "question";
    default: return "none";
  }
}

class IconBox : public Fl_Widget {
 public:
  IconBox(int x, int y, BoxIcon icon) : Fl_Widget(x, y, 32, 32), icon(icon) {}
  void draw() override {
    int cx = x(), cy = y();
    const char* mark = "i";
    Fl_Color fill = FL_BLUE, ink = FL_WHITE;
    if (icon == BoxIconExclamation) {
      fl_color(FL_YELLOW);
      fl_polygon(cx + 16, cy + 1, cx + 31, cy + 30, cx + 1, cy + 30);
      fl_color(FL_BLACK);
      fl_loop(cx + 16, cy + 1, cx + 31, cy + 30, cx + 1, cy + 30);
      fl_font(FL_HELVETICA_BOLD, 20);
      fl_draw("!", cx, cy + 8, 32, 22, FL_ALIGN_CENTER);
      return;
    }
    if (icon == BoxIconStop) { fill = FL_RED; mark = "X"; }
    if (icon == BoxIconQuestion) mark = "?";
    fl_color(fill);
    fl_pie(cx, cy, 32, 32, 0, 360);
    fl_color(ink);
    fl_font(FL_HELVETICA_BOLD, 20);
    fl_draw(mark, cx, cy, 32, 32, FL_ALIGN_CENTER);
  }
  BoxIcon icon;
};

// One box's run, on the stack of the call that shows it (boxes may nest); its window's user data
// points to it, for the callbacks.
struct BoxRun {
  BoxAnswer answer = AnswerOk;
  bool done = false;
  bool closable = true;
  BoxAnswer onClose = AnswerOk;  // what Escape and the close box answer when closable
};

void Answer(Fl_Widget* button, void* value) {
  BoxRun* run = static_cast<BoxRun*>(button->window()->user_data());
  run->answer = static_cast<BoxAnswer>(reinterpret_cast<long>(value));
  run->done = true;
}

// Escape and the close box answer OK in an OK box and No where No is the default; a plain
// Yes/No box needs a button.
void WindowCallback(Fl_Widget*, void* data) {
  BoxRun* run = static_cast<BoxRun*>(data);
  if (run->closable) {
    run->answer = run->onClose;
    run->done = true;
  }
}

Fl_Button* AddAnswerButton(Fl_Button* button, BoxAnswer answer) {
  button->callback(Answer, reinterpret_cast<void*>(static_cast<long>(answer)));
  return button;
}

bool HaveDisplay() {
  if (fl_display) return true;
  Display* display = XOpenDisplay(nullptr);
  if (!display) return false;
  fl_open_display(display);
  WatchDisplay();
  return true;
}

BoxAnswer ShowOwnBox(const char* text, const char* caption, BoxIcon icon, BoxButtons buttons) {
  fl_font(FL_HELVETICA, 13);
  int textWidth = 0, textHeight = 0;
  fl_measure(text, textWidth, textHeight, 0);
  const int iconSpace = icon == BoxIconNone ? 0 : 48;
  int width = iconSpace + textWidth + 32;
  if (width < 220) width = 220;
  int textBlock = textHeight < 32 ? 32 : textHeight;
  int height = 16 + textBlock + 16 + 26 + 12;

  Fl_Group::current(nullptr);
  BoxRun run;
  run.closable = buttons != BoxYesNo;
  run.onClose = buttons == BoxOk ? AnswerOk : AnswerNo;
  Fl_Window* window = new Fl_Window((Fl::w() - width) / 2, (Fl::h() - height) / 2, width, height, caption);
  window->callback(WindowCallback, &run);
  window->set_modal();
  if (icon != BoxIconNone) new IconBox(16, 16, icon);
  Fl_Box* message = new Fl_Box(16 + iconSpace, 16, textWidth + 4, textBlock);
  message->label(text);
  message->labelsize(13);
  message->align(FL_ALIGN_LEFT | FL_ALIGN_INSIDE);
  int buttonsTop = height - 12 - 26;
  Fl_Button* chosen = nullptr;  // the default button, which also has the keyboard focus
  if (buttons == BoxYesNo) {
    chosen = AddAnswerButton(new Fl_Return_Button(width / 2 - 90, buttonsTop, 84, 26, "&Yes"), AnswerYes);
    AddAnswerButton(new Fl_Button(width / 2 + 6, buttonsTop, 84, 26, "&No"), AnswerNo);
  } else if (buttons == BoxYesNoDefaultNo) {
    AddAnswerButton(new Fl_Button(width / 2 - 90, buttonsTop, 84, 26, "&Yes"), AnswerYes);
    chosen = AddAnswerButton(new Fl_Return_Button(width / 2 + 6, buttonsTop, 84, 26, "&No"), AnswerNo);
  } else {
    Fl_Button* ok = new Fl_Return_Button(width / 2 - 42, buttonsTop, 84, 26, "OK");
    ok->callback(Answer, reinterpret_cast<void*>(static_cast<long>(AnswerOk)));
  }
  window->end();
  window->show();
  if (chosen) chosen->take_focus();  // Space, too, then answers with the default
  // A stop signal closes the box with its "no" answer: the program is ending.
  const int stop = StopSignalDescriptor();
  if (stop >= 0) Fl::add_fd(stop, FL_READ, NoticeStop);
  while (!run.done && window->shown() && !StopRequested()) Fl::wait();
  if (stop >= 0) Fl::remove_fd(stop, FL_READ);
  BoxAnswer answer = run.answer;
  if (!run.done && StopRequested()) answer = buttons == BoxYesNo ? AnswerNo : AnswerOk;
  NoteWindowsClosing(window);
  window->hide();
  delete window;
  return answer;
}

}  // namespace

BoxAnswer ShowMessageBox(const char* text, const char* caption, BoxIcon icon, BoxButtons buttons) {
  if (!text) text = "";
  if (!caption) caption = "";
  const char* automatic = std::getenv("QIVRA_AUTO_ANSWER");
  if ((automatic && *automatic) || !HaveDisplay()) {
    bool yes = automatic && std::strcmp(automatic, "no") != 0;
    std::fprintf(stderr, "[box] caption=\"%s\" icon=%s text=\"%s\"\n", caption, IconName(icon), text);
    std::fflush(stderr);
    if (buttons == BoxOk) return AnswerOk;
    return yes ? AnswerYes : AnswerNo;
  }
  return ShowOwnBox(text, caption, icon, buttons);
}
