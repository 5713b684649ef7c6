// The connection dialog in FLTK, with the same controls in the same places as its resource template.
#include "platform/modal_dialog.h"

#include <FL/Fl.H>
#include <FL/Fl_Box.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Input.H>
#include <FL/Fl_Menu_Item.H>
#include <FL/Fl_Return_Button.H>
#include <FL/Fl_Window.H>
#include <FL/fl_draw.H>

#include <cstdio>
#include <cstring>
#include <initializer_list>

#include "platform/app_icon.h"
#include "platform/look_row.h"
#include "platform/stop_signals.h"
#include "platform/text_input.h"
#include "platform/x11_errors.h"

namespace {

void NoticeStop(FL_SOCKET, void*) {}  // Fl::wait returns once it has run

// Base units of the 8-point dialog font at 96 dots per inch: an average
// character is 6 pixels wide and 13 high.
constexpr int kBaseUnitX = 6;
constexpr int kBaseUnitY = 13;
constexpr int kFontPixels = 11;  // 8 points at 96 dots per inch

// A group frame with its caption cut into the top edge.
class GroupFrame : public Fl_Widget {
 public:
  GroupFrame(int x, int y, int w, int h, const char* text) : Fl_Widget(x, y, w, h, text) {}
  void draw() override {
    fl_font(FL_HELVETICA, kFontPixels);
    int top = y() + fl_height() / 2;
    fl_draw_box(FL_ENGRAVED_FRAME, x(), top, w(), h() - (top - y()), FL_BACKGROUND_COLOR);
    int textWidth = static_cast<int>(fl_width(label()));
    fl_color(FL_BACKGROUND_COLOR);
    fl_rectf(x() + 6, y(), textWidth + 4, fl_height());
    fl_color(FL_FOREGROUND_COLOR);
    fl_draw(label(), x() + 8, y() + fl_height() - fl_descent());
  }
};

constexpr int kMaxChoices = 10;
constexpr int kChoiceBytes = 64;
constexpr int kArrowWidth = 16;

// The button beside a field that drops down the values offered for it: picking one puts it in
// the field. Without values it does nothing and its arrow is greyed.
class ChoiceArrow : public Fl_Button {
 public:
  ChoiceArrow(int x, int y, int w, int h, Fl_Input* field) : Fl_Button(x, y, w, h, "@2>"), field(field) {
    box(FL_UP_BOX);
    labelsize(8);
    labelcolor(FL_INACTIVE_COLOR);
    clear_visible_focus();  // Tab goes from field to field
  }
  int handle(int event) override {
    if (event == FL_PUSH && Fl::event_button() == FL_LEFT_MOUSE) {
      Open();
      return 1;
    }
    return Fl_Button::handle(event);
  }
  void SetChoices(const char* const* given, int count);
  void Open();

 private:
  Fl_Input* field;
  char values[kMaxChoices][kChoiceBytes];
  char labels[kMaxChoices][2 * kChoiceBytes];  // '&' doubled: a menu would underline what follows it
  Fl_Menu_Item items[kMaxChoices + 1] = {};
  int count = 0;
};

void ChoiceArrow::SetChoices(const char* const* given, int givenCount) {
  count = 0;
  for (int i = 0; i < givenCount && count < kMaxChoices; ++i) {
    if (!given[i] || !given[i][0]) continue;
    std::snprintf(values[count], kChoiceBytes, "%s", given[i]);
    int used = 0;
    if (values[count][0] == '@') labels[count][used++] = '@';  // a leading "@" would name a symbol
    for (const char* p = values[count]; *p && used < 2 * kChoiceBytes - 2; ++p) {
      if (*p == '&') labels[count][used++] = '&';
      labels[count][used++] = *p;
    }
    labels[count][used] = '\0';
    ++count;
  }
  labelcolor(count ? FL_FOREGROUND_COLOR : FL_INACTIVE_COLOR);
  redraw();
}

// The list drops down under the field and the arrow, as wide as both; the keys move in it.
void ChoiceArrow::Open() {
  if (count == 0) return;
  for (int i = 0; i < count; ++i) {
    items[i] = Fl_Menu_Item();
    items[i].text = labels[i];
    items[i].labelsize(field->textsize() + 1);
  }
  items[count] = Fl_Menu_Item();
  const Fl_Menu_Item* picked = items->pulldown(field->x(), field->y(), field->w() + w(), field->h());
  if (!picked) return;
  field->value(values[picked - items]);
  field->take_focus();
  field->position(field->size());
}

struct DialogState {
  Fl_Window* window = nullptr;
  TextInput* server = nullptr;
  TextInput* channel = nullptr;
  TextInput* port = nullptr;
  TextInput* nickname = nullptr;
  ChoiceArrow* arrows[4] = {};  // beside the server, channel, port and nickname
  Fl_Return_Button* connect = nullptr;
  DialogProcedure procedure = nullptr;
  int result = 0;
  bool ended = false;
  Fl_Event_Dispatch previousDispatch = nullptr;
};

DialogState dialog;

int X(int units) { return DialogUnitsToPixelsX(units); }
int Y(int units) { return DialogUnitsToPixelsY(units); }

void ButtonPressed(Fl_Widget*, void* id) {
  if (dialog.procedure) dialog.procedure(DialogCommand, static_cast<int>(reinterpret_cast<long>(id)));
}

// Escape must not close the dialog; the close box ends it through the procedure.
void WindowCallback(Fl_Widget*, void*) {
  if (Fl::event() == FL_SHORTCUT && Fl::event_key() == FL_Escape) return;
  if (dialog.procedure) dialog.procedure(DialogClose, 0);
}

ChoiceArrow* ArrowOfFocus() {
  const Fl_Widget* fields[4] = {dialog.server, dialog.channel, dialog.port, dialog.nickname};
  for (int i = 0; i < 4; ++i)
    if (fields[i] && Fl::focus() == fields[i]) return dialog.arrows[i];
  return nullptr;
}

// Enter in any field presses the default button. Taken here, before any
// widget sees it, because a group under the focus may use Enter to move on.
// Alt+Down drops down the focused field's list, as in a combo box.
int DispatchDialogEvent(int event, Fl_Window* window) {
  // An open drop-down list holds the grab and takes its own keys (Enter picks in it).
  const bool inDialog = dialog.window && window && window->top_window() == dialog.window && !Fl::grab();
  if (event == FL_KEYBOARD && inDialog && (Fl::event_key() == FL_Enter || Fl::event_key() == FL_KP_Enter)) {
    if (dialog.connect && dialog.connect->active()) ButtonPressed(dialog.connect, reinterpret_cast<void*>(kConnectButton));
    return 1;
  }
  if (event == FL_KEYBOARD && inDialog && Fl::event_key() == FL_Down && Fl::event_state(FL_ALT)) {
    if (ChoiceArrow* arrow = ArrowOfFocus()) arrow->Open();
    return 1;
  }
  return dialog.previousDispatch ? dialog.previousDispatch(event, window) : Fl::handle_(event, window);
}

// A static text at the dialog's font, wide enough for its text: no label is cut.
Fl_Box* Label(int x, int y, int w, int h, const char* text, Fl_Align align) {
  fl_font(FL_HELVETICA, kFontPixels);
  int width = X(w);
  int needed = static_cast<int>(fl_width(text)) + 2;
  if (needed > width) width = needed;
  Fl_Box* box = new Fl_Box(X(x), Y(y), width, Y(h), text);
  box->labelsize(kFontPixels);
  box->align(align | FL_ALIGN_INSIDE);
  return box;
}

// Where the fields beside the labels begin: at 48 units, or further right when the longest
// label needs it (the fields then end where they would have ended).
int FieldLeft() {
  fl_font(FL_HELVETICA, kFontPixels);
  int widest = 0;
  for (const char* text : {"Server:", "Channel:", "Nickname:"}) {
    int width = static_cast<int>(fl_width(text));
    if (width > widest) widest = width;
  }
  int left = X(12) + widest + 6;
  return left > X(48) ? left : X(48);
}

// A combo box: an edit field with the button beside it that drops down the values offered
// (SetDialogItemChoices). Every field draws its text with Pango, so a nickname or channel in any
// script shows.
TextInput* ComboBox(int left, int x, int y, int w, int h, int maximum, ChoiceArrow** arrow) {
  const int height = Y(h) + 2;
  TextInput* input = new TextInput(left, Y(y), X(x + w) - left - kArrowWidth, height);
  input->box(FL_DOWN_BOX);
  input->textsize(kFontPixels);
  input->maximum_size(maximum);
  *arrow = new ChoiceArrow(X(x + w) - kArrowWidth, Y(y), kArrowWidth, height, input);
  return input;
}

Fl_Button* PushButton(Fl_Button* button, int id) {
  button->labelsize(kFontPixels);
  button->callback(ButtonPressed, reinterpret_cast<void*>(static_cast<long>(id)));
  return button;
}

void BuildDialog(const char* caption) {
  Fl_Group::current(nullptr);
  int width = X(195), height = Y(126) + LookRowHeight();
  Fl_Window* window = new Fl_Window((Fl::w() - width) / 2, (Fl::h() - height) / 2, width, height, caption);
  window->icon(AppIconImage());
  window->callback(WindowCallback);
  window->set_modal();
  dialog.window = window;

  // Template order, which is also the order the Tab key follows.
  Fl_Box* icon = new Fl_Box(X(87), Y(6), 32, 32);
  icon->image(const_cast<Fl_RGB_Image*>(AppIconImage()));
  const int left = FieldLeft();
  dialog.server = ComboBox(left, 48, 41, 90, 12, 255, &dialog.arrows[0]);
  dialog.channel = ComboBox(left, 48, 60, 132, 12, 255, &dialog.arrows[1]);
  Label(12, 44, 30, 12, "Server:", FL_ALIGN_LEFT | FL_ALIGN_TOP);
  Label(12, 63, 30, 12, "Channel:", FL_ALIGN_LEFT | FL_ALIGN_TOP);
  dialog.port = ComboBox(X(144), 144, 41, 36, 12, 259, &dialog.arrows[2]);
  dialog.nickname = ComboBox(left, 48, 78, 132, 12, 259, &dialog.arrows[3]);
  Label(12, 80, 30, 12, "Nickname:", FL_ALIGN_LEFT | FL_ALIGN_TOP);
  new GroupFrame(X(6), Y(30), X(180), Y(68), "Static");
  dialog.connect = new Fl_Return_Button(X(6), Y(103), X(60), Y(18), "&Connect");
  PushButton(dialog.connect, kConnectButton);
  PushButton(new Fl_Button(X(132), Y(103), X(54), Y(18), "&Exit"), kExitButton);
  PushButton(new Fl_Button(X(72), Y(103), X(54), Y(18), "&Help"), kHelpButton);
  Label(8, 12, 59, 12, "QIVRA Beta 2", FL_ALIGN_CENTER | FL_ALIGN_TOP);
  Label(127, 12, 59, 12, "a 3D chat room", FL_ALIGN_CENTER | FL_ALIGN_TOP);
  AddLookRow(X(6), Y(124), X(183));  // platform/look_row.cpp, under the buttons
  window->end();
}

Fl_Input* FieldOf(int controlId) {
  switch (controlId) {
    case kServerBox: return dialog.server;
    case kChannelBox: return dialog.channel;
    case kPortEdit: return dialog.port;
    case kNicknameEdit: return dialog.nickname;
    default: return nullptr;
  }
}

}  // namespace

int DialogUnitsToPixelsX(int units) { return (units * kBaseUnitX + 2) / 4; }
int DialogUnitsToPixelsY(int units) { return (units * kBaseUnitY + 4) / 8; }

int RunConnectionDialog(const char* caption, DialogProcedure procedure) {
  dialog = DialogState();
  dialog.procedure = procedure;
  BuildDialog(caption);
  if (procedure) procedure(DialogInit, 0);
  dialog.previousDispatch = Fl::event_dispatch();
  Fl::event_dispatch(DispatchDialogEvent);
  dialog.window->show();
  // A stop signal ends the dialog as Exit does.
  const int stop = StopSignalDescriptor();
  if (stop >= 0) Fl::add_fd(stop, FL_READ, NoticeStop);
  while (!dialog.ended && dialog.window->shown() && !StopRequested()) Fl::wait();
  if (stop >= 0) Fl::remove_fd(stop, FL_READ);
  if (StopRequested()) dialog.result = 0;
  Fl::event_dispatch(dialog.previousDispatch);
  NoteWindowsClosing(dialog.window);
  dialog.window->hide();
  delete dialog.window;
  int result = dialog.result;
  dialog = DialogState();
  Fl::check();  // let the window manager see the dialog go
  return result;
}

void EndConnectionDialog(int result) {
  dialog.result = result;
  dialog.ended = true;
}

void SetDialogItemText(int controlId, const char* text) {
  Fl_Input* field = FieldOf(controlId);
  if (field) field->value(text ? text : "");
}

void SetDialogItemChoices(int controlId, const char* const* values, int count) {
  const int index = controlId == kServerBox ? 0 : controlId == kChannelBox ? 1 : controlId == kPortEdit ? 2
                  : controlId == kNicknameEdit ? 3 : -1;
  if (index >= 0 && dialog.arrows[index]) dialog.arrows[index]->SetChoices(values, count);
}

int GetDialogItemText(int controlId, char* out, int maxCount) {
  if (!out || maxCount <= 0) return 0;
  out[0] = '\0';
  Fl_Input* field = FieldOf(controlId);
  if (!field) return 0;
  const char* value = field->value();
  int length = static_cast<int>(strnlen(value, static_cast<std::size_t>(maxCount) - 1));
  std::memcpy(out, value, length);
  out[length] = '\0';
  return length;
}
