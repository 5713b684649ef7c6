// Message boxes through FLTK's common dialogs, or answered at once for tests.
#include "platform/message_box.h"

#include <FL/Fl.H>
#include <FL/fl_ask.H>
#include <cstdio>
#include <cstdlib>
#include <cstring>

static const char* IconName(BoxIcon icon) {
  switch (icon) {
    case BoxIconInformation: return "information";
    case BoxIconExclamation: return "exclamation";
    case BoxIconStop: return "stop";
    case BoxIconQuestion: return "question";
    default: return "none";
  }
}

BoxAnswer ShowMessageBox(const char* text, const char* caption, BoxIcon icon, BoxButtons buttons) {
  const char* automatic = std::getenv("QIVRA_AUTO_ANSWER");
  if (automatic && *automatic) {
    bool yes = std::strcmp(automatic, "no") != 0;
    std::fprintf(stderr, "[box] caption=\"%s\" icon=%s text=\"%s\"\n", caption ? caption : "",
                 IconName(icon), text ? text : "");
    std::fflush(stderr);
    if (buttons == BoxOk) return AnswerOk;
    return yes ? AnswerYes : AnswerNo;
  }
  fl_message_title(caption ? caption : "");
  if (buttons == BoxYesNo) {
    // fl_choice puts button 0 on the right; "No" there, "Yes" beside it.
    int choice = fl_choice("%s", "No", "Yes", nullptr, text ? text : "");
    return choice == 1 ? AnswerYes : AnswerNo;
  }
  if (icon == BoxIconExclamation || icon == BoxIconStop)
    fl_alert("%s", text ? text : "");
  else
    fl_message("%s", text ? text : "");
  return AnswerOk;
}
